#include "platform/win32/HidInterfaceNotification.h"

#include <dbt.h>

#include <cstring>

namespace vr::win32 {
namespace {

// The HID device interface class (what HidD_GetHidGuid answers).
constexpr GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

}  // namespace

HidInterfaceNotification::HidInterfaceNotification(HWND window) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kHidInterfaceClass;
    handle_ = ::RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (handle_ == nullptr) {
        error_ = ::GetLastError();
    }
}

HidInterfaceNotification::~HidInterfaceNotification() {
    if (handle_ != nullptr) {
        ::UnregisterDeviceNotification(handle_);
    }
}

bool HidInterfaceNotification::IsInterfaceChange(WPARAM event, LPARAM data) {
    if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || data == 0) {
        return false;
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)) {
        return false;
    }
    const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(data);
    return std::memcmp(&device->dbcc_classguid, &kHidInterfaceClass, sizeof(GUID)) == 0;
}

}  // namespace vr::win32
