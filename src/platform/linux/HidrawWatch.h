#pragma once

// Changes of the hidraw nodes in the device folder, told through inotify: a node created or
// removed, or its attributes changed (udev grants the user access after the node appears, so a
// node that could not be opened may be opened once its attributes change). One descriptor that
// becomes readable on a change, for the caller's event loop; nothing wakes the program meanwhile.

#include <chrono>
#include <string>

namespace vr {

class HidrawWatch {
public:
    static constexpr const char* kDeviceDir = "/dev";

    explicit HidrawWatch(const std::string& deviceDir = kDeviceDir);
    ~HidrawWatch();
    HidrawWatch(const HidrawWatch&) = delete;
    HidrawWatch& operator=(const HidrawWatch&) = delete;

    // False when the watch could not be set up (no inotify instance or watch left, no folder):
    // the caller then searches on every tick. Failure() says why.
    bool Watching() const { return fd_ >= 0; }
    const std::string& Failure() const { return failure_; }

    // Readable while changes are pending; -1 when not watching.
    int Descriptor() const { return fd_; }

    // Consumes the pending changes without waiting; true when any concerned a hidraw node.
    bool TakeChanges();
    // Waits up to `timeout` for a change of a hidraw node; false on time-out, on interruption
    // by a signal, and once Wake() was called.
    bool AwaitChange(std::chrono::milliseconds timeout);
    // Ends the present wait of AwaitChange, and every later one, at once. Any thread may call it
    // (the one that handles the user's interrupt).
    void Wake();

private:
    int fd_ = -1;
    int wakeFd_ = -1;
    std::string failure_;
};

}  // namespace vr
