#pragma once

// The reading side of one hidraw file opened for overlapped reading. A thread drains the device
// continuously into a bounded queue, because the kernel keeps only 64 reports per open file and
// the window thread may be busy for a while; a read request takes the oldest queued report at
// once, or waits as the one outstanding read until the next report arrives.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "adapter/HidPlatform.h"
#include "platform/hidcommon/Event.h"
#include "platform/hidcommon/ReportQueue.h"

namespace vr {

class HidrawReader {
public:
    // Starts draining `fd` (which the caller keeps open until the reader is destroyed);
    // nothing when no thread or wake-up descriptor could be had (errno tells why).
    static std::unique_ptr<HidrawReader> Start(int fd, bool numberedReports);
    ~HidrawReader();

    HidrawReader(const HidrawReader&) = delete;
    HidrawReader& operator=(const HidrawReader&) = delete;

    using ReadStart = ReportQueue::ReadStart;

    // Starts a read into `buffer` (see ReportQueue::StartRead); DeviceGone once the device was
    // removed and every report it sent has been delivered.
    ReadStart StartRead(std::uint8_t* buffer, std::uint32_t length, Overlapped& overlapped,
                        std::shared_ptr<Event> event, std::uint32_t& bytesRead);
    // Cancels the outstanding read, if any: it never writes its buffer afterwards; its event is
    // signalled with the status STATUS_CANCELLED, as a cancelled read completes on Windows.
    void Cancel();
    // The status and byte count of the read that used `overlapped`.
    std::pair<std::uint32_t, std::uint32_t> Outcome(const Overlapped& overlapped) const;

    // Reports beyond the capacity push out the oldest queued ones, as in a ring buffer.
    void SetCapacity(std::size_t capacity);

    struct State {
        std::size_t queued = 0;
        std::size_t capacity = 0;
        std::uint64_t received = 0;
        std::uint64_t dropped = 0;
        bool deviceGone = false;
    };
    State CurrentState() const;

private:
    HidrawReader(int fd, int wakeFd, bool numberedReports);

    void Run();
    void Deliver(std::vector<std::uint8_t> report);
    void MarkDeviceGone();

    const int fd_;
    const int wakeFd_;
    const bool numberedReports_;

    mutable std::mutex mutex_;
    ReportQueue queue_;
    bool deviceGone_ = false;

    std::thread thread_;
};

}  // namespace vr
