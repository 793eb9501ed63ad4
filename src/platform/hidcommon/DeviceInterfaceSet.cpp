#include "platform/hidcommon/DeviceInterfaceSet.h"

#include <cstring>

#include "platform/hidcommon/Win32Errors.h"

namespace vr {
namespace {

constexpr std::uint32_t SPINT_ACTIVE = 1;

}  // namespace

bool ListsHidInterfaces(const Guid& classGuid, std::uint32_t flags) {
    return classGuid == kHidInterfaceGuid && (flags & DIGCF_DEVICEINTERFACE) != 0;
}

std::uint32_t EnumDeviceInterface(const DeviceInterfaceSet& set, const Guid& classGuid,
                                  std::uint32_t memberIndex, SpDeviceInterfaceData& data) {
    if (data.cbSize != kSpDeviceInterfaceDataSize) {
        return ERROR_INVALID_USER_BUFFER;
    }
    if (!(classGuid == kHidInterfaceGuid) || memberIndex >= set.paths.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    data.InterfaceClassGuid = kHidInterfaceGuid;
    data.Flags = SPINT_ACTIVE;
    data.Reserved = memberIndex + 1;  // which interface of the set the record names
    return ERROR_SUCCESS;
}

std::uint32_t GetDeviceInterfaceDetail(const DeviceInterfaceSet& set,
                                       const SpDeviceInterfaceData& data, std::uint8_t* detail,
                                       std::uint32_t detailSize, std::uint32_t* requiredSize) {
    if (data.cbSize != kSpDeviceInterfaceDataSize || data.Reserved == 0 ||
        data.Reserved > set.paths.size()) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string& path = set.paths[data.Reserved - 1];
    const auto needed = static_cast<std::uint32_t>(kDevicePathOffset + path.size() + 1);
    if (requiredSize != nullptr) {
        *requiredSize = needed;
    }
    if (detail == nullptr) {
        return detailSize == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER;
    }
    if (detailSize < kDevicePathOffset) {
        return ERROR_INVALID_USER_BUFFER;
    }
    const std::uint32_t cbSize = std::uint32_t{detail[0]} | std::uint32_t{detail[1]} << 8 |
                                 std::uint32_t{detail[2]} << 16 | std::uint32_t{detail[3]} << 24;
    if (cbSize != kSpDeviceInterfaceDetailDataSize) {
        return ERROR_INVALID_USER_BUFFER;
    }
    if (detailSize < needed) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(detail + kDevicePathOffset, path.c_str(), path.size() + 1);
    return ERROR_SUCCESS;
}

}  // namespace vr
