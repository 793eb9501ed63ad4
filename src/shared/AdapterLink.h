#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace vr {

// The adapter's USB ids, as its HID interface reports them.
inline constexpr std::uint16_t AdapterVendorId = 0x11D2;
inline constexpr std::uint16_t AdapterProductId = 0x0001;

// The adapter as one poll of the main window uses it: a new object per poll, released at its end
// (its destruction closes whatever it still holds).
class AdapterLink {
public:
    virtual ~AdapterLink() = default;
    // True once the adapter is found and open for reading, with its read event made. False when
    // it is absent or cannot be opened: everything opened on the way is closed again. Never
    // throws.
    virtual bool InitDevice() = 0;
    // Receives one transfer, if one comes; the outcome shows in UnsavedData, the capture file and
    // the window, and the result is always false. Throws FileError when the capture file cannot
    // be opened or written, and HandlerError when a transfer was cut short (adapter removed,
    // failed wait): in both cases the data stored until then stays savable.
    virtual bool ReadDevice() = 0;
    // Cancels the outstanding read, if any; afterwards nothing writes into the report buffer.
    virtual void CancelReading() = 0;
    // Closes whatever is still open; calling it again does nothing.
    virtual void CloseDevice() = 0;
};

using AdapterFactory = std::function<std::unique_ptr<AdapterLink>()>;

}  // namespace vr
