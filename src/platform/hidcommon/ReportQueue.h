#pragma once

// The input reports that one read handle has received and not yet read, and its one outstanding
// read, as the Windows HID stack keeps them per open handle: a report completes the outstanding
// read at once, or waits in a bounded queue that drops its oldest report when full.
// Not synchronised: an owner that delivers from a thread of its own guards it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "adapter/HidPlatform.h"
#include "platform/hidcommon/Event.h"

namespace vr {

class ReportQueue {
public:
    // As many reports as the Windows HID stack queues before it is told otherwise.
    static constexpr std::size_t kDefaultCapacity = 32;

    ReportQueue() = default;
    // A read still outstanding when the handle goes ends as cancelled.
    ~ReportQueue();
    ReportQueue(const ReportQueue&) = delete;
    ReportQueue& operator=(const ReportQueue&) = delete;

    enum class ReadStart { Completed, Pending, DeviceGone, Busy };

    // Starts a read into `buffer`. Completed: a queued report was copied, `bytesRead` set and
    // `event` signalled. Pending: the next report will complete it. DeviceGone: nothing is queued
    // and `deviceGone` says nothing more will come. Busy: a read is already outstanding.
    // `buffer` and `overlapped` must stay valid until the read completes or is ended.
    ReadStart StartRead(std::uint8_t* buffer, std::uint32_t length, Overlapped& overlapped,
                        std::shared_ptr<Event> event, bool deviceGone, std::uint32_t& bytesRead);
    // A report, or, without one, a read that ends without data.
    void Deliver(std::optional<std::vector<std::uint8_t>> report);
    // Ends the outstanding read, if any, with `status` and no data, and signals its event.
    void EndPendingRead(std::uint32_t status);
    // Reports beyond the capacity push out the oldest queued ones, as in a ring buffer.
    void SetCapacity(std::size_t capacity);

    bool ReadPending() const { return pending_.has_value(); }
    std::size_t Queued() const { return queue_.size(); }
    std::size_t Capacity() const { return capacity_; }
    std::uint64_t Received() const { return received_; }
    std::uint64_t Dropped() const { return dropped_; }  // pushed out while the queue was full

private:
    struct PendingRead {
        std::uint8_t* buffer;
        std::uint32_t length;
        Overlapped* overlapped;
        std::shared_ptr<Event> event;
    };

    std::deque<std::optional<std::vector<std::uint8_t>>> queue_;
    std::size_t capacity_ = kDefaultCapacity;
    std::uint64_t received_ = 0;
    std::uint64_t dropped_ = 0;
    std::optional<PendingRead> pending_;
};

}  // namespace vr
