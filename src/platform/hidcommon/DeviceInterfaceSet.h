#pragma once

// The device set-up calls as an emulation of them answers: a set is a snapshot of the HID
// interfaces present when it was made, each named by its path.

#include <cstdint>
#include <string>
#include <vector>

#include "adapter/HidPlatform.h"

namespace vr {

// The HID interface class identifier, as HidD_GetHidGuid gives it on Windows.
inline constexpr Guid kHidInterfaceGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

struct DeviceInterfaceSet {
    std::vector<std::string> paths;
};

// Whether SetupDiGetClassDevsA with these arguments lists the HID interfaces (any other class,
// or a set of devices rather than of interfaces, is empty).
bool ListsHidInterfaces(const Guid& classGuid, std::uint32_t flags);

// SetupDiEnumDeviceInterfaces on a set: ERROR_SUCCESS, or the error code it leaves.
std::uint32_t EnumDeviceInterface(const DeviceInterfaceSet& set, const Guid& classGuid,
                                  std::uint32_t memberIndex, SpDeviceInterfaceData& data);

// SetupDiGetDeviceInterfaceDetailA on a set: checks the records' sizes, reports the size the
// detail record needs, and never writes past `detailSize`. ERROR_SUCCESS or the error code.
std::uint32_t GetDeviceInterfaceDetail(const DeviceInterfaceSet& set,
                                       const SpDeviceInterfaceData& data, std::uint8_t* detail,
                                       std::uint32_t detailSize, std::uint32_t* requiredSize);

}  // namespace vr
