#include "platform/linux/HidrawReader.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <span>
#include <system_error>

#include "platform/hidcommon/ReportDescriptor.h"
#include "platform/hidcommon/Win32Errors.h"

namespace vr {

namespace {

// The largest report hidraw hands out (HID_MAX_BUFFER_SIZE); longer ones arrive truncated.
constexpr std::size_t kMaxReportSize = 16384;

}  // namespace

std::unique_ptr<HidrawReader> HidrawReader::Start(int fd, bool numberedReports) {
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        return nullptr;
    }
    std::unique_ptr<HidrawReader> reader(new HidrawReader(fd, wakeFd, numberedReports));
    try {
        reader->thread_ = std::thread(&HidrawReader::Run, reader.get());
    } catch (const std::system_error& error) {
        errno = error.code().value();
        return nullptr;  // the destructor closes the wake-up descriptor
    }
    return reader;
}

HidrawReader::HidrawReader(int fd, int wakeFd, bool numberedReports)
    : fd_(fd), wakeFd_(wakeFd), numberedReports_(numberedReports) {}

HidrawReader::~HidrawReader() {
    Cancel();
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        // An eventfd write of 1 cannot fail short of an overflow that 1 cannot cause.
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    ::close(wakeFd_);
}

void HidrawReader::Run() {
    std::vector<std::uint8_t> buffer(kMaxReportSize);
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            MarkDeviceGone();
            return;
        }
        if (fds[1].revents != 0) {
            return;  // the handle is being closed
        }
        // Data first: after a removal hidraw still hands out what it had queued, and reports
        // POLLHUP|POLLERR beside POLLIN until the queue is empty.
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
            if (n > 0) {
                Deliver(ToWindowsReport(
                    std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)),
                    numberedReports_));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            // EIO or ENODEV once a removed device's queue is empty; end of file for a stream.
            MarkDeviceGone();
            return;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            MarkDeviceGone();
            return;
        }
    }
}

void HidrawReader::Deliver(std::vector<std::uint8_t> report) {
    std::lock_guard lock(mutex_);
    queue_.Deliver(std::move(report));
}

void HidrawReader::MarkDeviceGone() {
    std::lock_guard lock(mutex_);
    deviceGone_ = true;
    // A read is outstanding only while the queue is empty: it ends without data, as on Windows.
    queue_.EndPendingRead(STATUS_DEVICE_NOT_CONNECTED);
}

HidrawReader::ReadStart HidrawReader::StartRead(std::uint8_t* buffer, std::uint32_t length,
                                                Overlapped& overlapped,
                                                std::shared_ptr<Event> event,
                                                std::uint32_t& bytesRead) {
    std::lock_guard lock(mutex_);
    return queue_.StartRead(buffer, length, overlapped, std::move(event), deviceGone_, bytesRead);
}

void HidrawReader::Cancel() {
    std::lock_guard lock(mutex_);
    queue_.EndPendingRead(STATUS_CANCELLED);
}

std::pair<std::uint32_t, std::uint32_t> HidrawReader::Outcome(const Overlapped& overlapped) const {
    std::lock_guard lock(mutex_);
    return {overlapped.Internal, overlapped.InternalHigh};
}

void HidrawReader::SetCapacity(std::size_t capacity) {
    std::lock_guard lock(mutex_);
    queue_.SetCapacity(capacity);
}

HidrawReader::State HidrawReader::CurrentState() const {
    std::lock_guard lock(mutex_);
    return State{queue_.Queued(), queue_.Capacity(), queue_.Received(), queue_.Dropped(),
                 deviceGone_};
}

}  // namespace vr
