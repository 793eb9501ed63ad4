#include "platform/hidcommon/ReportQueue.h"

#include <algorithm>
#include <cstring>

#include "platform/hidcommon/Win32Errors.h"

namespace vr {

namespace {

std::uint32_t CopyReport(const std::optional<std::vector<std::uint8_t>>& report,
                         std::uint8_t* buffer, std::uint32_t length) {
    if (!report) {
        return 0;
    }
    const std::size_t copied = std::min<std::size_t>(report->size(), length);
    std::memcpy(buffer, report->data(), copied);
    // A short report must not leave an earlier report's bytes behind it.
    std::memset(buffer + copied, 0, length - copied);
    return static_cast<std::uint32_t>(copied);
}

}  // namespace

ReportQueue::~ReportQueue() {
    EndPendingRead(STATUS_CANCELLED);
}

ReportQueue::ReadStart ReportQueue::StartRead(std::uint8_t* buffer, std::uint32_t length,
                                              Overlapped& overlapped, std::shared_ptr<Event> event,
                                              bool deviceGone, std::uint32_t& bytesRead) {
    if (pending_) {
        return ReadStart::Busy;
    }
    if (!queue_.empty()) {
        bytesRead = CopyReport(queue_.front(), buffer, length);
        queue_.pop_front();
        overlapped.InternalHigh = bytesRead;
        overlapped.Internal = STATUS_SUCCESS;
        event->Set();
        return ReadStart::Completed;
    }
    if (deviceGone) {
        return ReadStart::DeviceGone;
    }
    overlapped.Internal = STATUS_PENDING;
    overlapped.InternalHigh = 0;
    pending_ = PendingRead{buffer, length, &overlapped, std::move(event)};
    return ReadStart::Pending;
}

void ReportQueue::Deliver(std::optional<std::vector<std::uint8_t>> report) {
    ++received_;
    if (pending_) {
        PendingRead read = std::move(*pending_);
        pending_.reset();
        read.overlapped->InternalHigh = CopyReport(report, read.buffer, read.length);
        read.overlapped->Internal = STATUS_SUCCESS;
        read.event->Set();
        return;
    }
    if (queue_.size() >= capacity_) {
        queue_.pop_front();
        ++dropped_;
    }
    queue_.push_back(std::move(report));
}

void ReportQueue::EndPendingRead(std::uint32_t status) {
    if (pending_) {
        pending_->overlapped->InternalHigh = 0;
        pending_->overlapped->Internal = status;
        pending_->event->Set();
        pending_.reset();
    }
}

void ReportQueue::SetCapacity(std::size_t capacity) {
    capacity_ = capacity;
    while (queue_.size() > capacity_) {
        queue_.pop_front();
        ++dropped_;
    }
}

}  // namespace vr
