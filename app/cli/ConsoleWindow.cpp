#include "ConsoleWindow.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace vr::cli {
namespace {

std::atomic<bool> interrupted{false};
std::mutex wakeMutex;
std::function<void()> wakeOnInterrupt;

}  // namespace

bool InterruptRequested() {
    return interrupted.load();
}

bool RequestInterrupt() {
    if (interrupted.exchange(true)) {
        return false;
    }
    const std::lock_guard lock(wakeMutex);
    if (wakeOnInterrupt) {
        wakeOnInterrupt();
    }
    return true;
}

void SetInterruptWake(std::function<void()> wake) {
    const std::lock_guard lock(wakeMutex);
    wakeOnInterrupt = std::move(wake);
    if (wakeOnInterrupt && interrupted.load()) {
        wakeOnInterrupt();
    }
}

bool ConsoleWindow::SetStatusIcon(const std::string& key) {
    if (key == icon_) {
        return false;
    }
    icon_ = key;
    iconChanges.push_back(key);
    return true;
}

}  // namespace vr::cli
