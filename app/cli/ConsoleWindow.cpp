#include "ConsoleWindow.h"

#include <csignal>

namespace vr::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

// The first signal asks for an orderly end; the next one ends the tool at once, should it be
// stuck where it does not look at the request.
extern "C" void OnInterrupt(int signal) {
    interrupted = 1;
    std::signal(signal, SIG_DFL);
}

}  // namespace

void InstallInterruptHandler() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool InterruptRequested() {
    return interrupted != 0;
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
