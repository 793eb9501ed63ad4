#pragma once

#include <functional>
#include <memory>

namespace vr {

// The adapter as one poll of the main window uses it: a new object per poll, released at its end
// (its destruction closes whatever it still holds).
class AdapterLink {
public:
    virtual ~AdapterLink() = default;
    virtual bool InitDevice() = 0;
    virtual bool ReadDevice() = 0;
    virtual void CancelReading() = 0;
    virtual void CloseDevice() = 0;
};

using AdapterFactory = std::function<std::unique_ptr<AdapterLink>()>;

}  // namespace vr
