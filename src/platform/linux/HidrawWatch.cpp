#include "platform/linux/HidrawWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vr {
namespace {

constexpr long long kMaxWaitMs = 1 << 30;

}  // namespace

HidrawWatch::HidrawWatch(const std::string& deviceDir) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        failure_ = std::string("no inotify instance: ") + std::strerror(errno);
        return;
    }
    constexpr std::uint32_t kEvents =
        IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;
    if (::inotify_add_watch(fd_, deviceDir.c_str(), kEvents) < 0) {
        failure_ = "cannot watch " + deviceDir + ": " + std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        return;
    }
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

HidrawWatch::~HidrawWatch() {
    for (const int fd : {fd_, wakeFd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void HidrawWatch::Wake() {
    // Never read: the counter stays above zero and keeps every later wait from starting. A write
    // fails only when the counter is full, and a full one is readable all the same.
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    }
}

bool HidrawWatch::TakeChanges() {
    if (fd_ < 0) {
        return true;
    }
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length <= 0) {
            return changed;
        }
        for (ssize_t at = 0; at < length;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const std::string_view name(
                buffer + at + sizeof event,
                event.len > 0 ? ::strnlen(buffer + at + sizeof event, event.len) : 0);
            // A lost queue or a folder that went away hides what changed: count it as a change.
            changed = changed || name.starts_with("hidraw") ||
                      (event.mask & (IN_Q_OVERFLOW | IN_IGNORED)) != 0;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
}

bool HidrawWatch::AwaitChange(std::chrono::milliseconds timeout) {
    if (fd_ < 0) {
        return true;
    }
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd entries[] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int ready =
            ::poll(entries, wakeFd_ >= 0 ? 2 : 1,
                   static_cast<int>(std::clamp<long long>(left.count(), 0, kMaxWaitMs)));
        if (ready <= 0 || entries[1].revents != 0) {
            return false;  // time-out, woken, or a signal the caller looks at
        }
        if (TakeChanges()) {
            return true;
        }
    }
}

}  // namespace vr
