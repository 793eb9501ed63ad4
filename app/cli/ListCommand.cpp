#include <cstdio>
#include <vector>

#include "Commands.h"
#include "HidBackend.h"
#include "adapter/USBAdapter.h"
#include "platform/sim/Scenario.h"

namespace vr::cli {
namespace {

struct SeenInterface {
    std::string path;
    bool opened = false;
    std::uint32_t openError = 0;
    bool haveIds = false;
    HiddAttributes attributes;
};

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string InterfacePath(HidPlatform& hid, Handle set, SpDeviceInterfaceData& data) {
    std::uint32_t required = 0;
    hid.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
    if (required <= kDevicePathOffset) {
        return {};
    }
    std::vector<std::uint8_t> detail(required + 1, 0);
    detail[0] = static_cast<std::uint8_t>(kSpDeviceInterfaceDetailDataSize);  // cbSize < 256
    if (!hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required, nullptr,
                                              nullptr)) {
        return {};
    }
    return reinterpret_cast<const char*>(detail.data() + kDevicePathOffset);
}

// Every HID interface present, each opened as the adapter search opens it.
std::vector<SeenInterface> Enumerate(HidPlatform& hid) {
    std::vector<SeenInterface> seen;
    Guid hidGuid;
    hid.HidD_GetHidGuid(hidGuid);
    const Handle set =
        hid.SetupDiGetClassDevsA(hidGuid, nullptr, 0, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    for (std::uint32_t index = 0;; ++index) {
        SpDeviceInterfaceData data;
        data.cbSize = kSpDeviceInterfaceDataSize;
        if (!hid.SetupDiEnumDeviceInterfaces(set, nullptr, hidGuid, index, data)) {
            break;
        }
        SeenInterface entry;
        entry.path = InterfacePath(hid, set, data);
        SecurityAttributes security{kSecurityAttributesSize, nullptr, -1};
        const Handle device =
            hid.CreateFileA(entry.path, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, &security, OPEN_EXISTING, 0, 0);
        if (device == kInvalidHandle) {
            entry.openError = hid.GetLastError();
        } else {
            entry.opened = true;
            entry.attributes.Size = kHiddAttributesSize;
            entry.haveIds = hid.HidD_GetAttributes(device, entry.attributes);
            hid.CloseHandle(device);
        }
        seen.push_back(std::move(entry));
    }
    hid.SetupDiDestroyDeviceInfoList(set);
    return seen;
}

bool IsAdapter(const SeenInterface& entry) {
    return entry.haveIds && entry.attributes.VendorID == AdapterVendorId &&
           entry.attributes.ProductID == AdapterProductId;
}

}  // namespace

int RunList(const std::optional<std::string>& scenario, std::ostream& out, std::ostream& err) {
    HidBackend backend;
    try {
        backend = MakeHidBackend(scenario);
    } catch (const sim::ScenarioError& e) {
        return Fail(err, e.what());
    }
    const std::vector<SeenInterface> seen = Enumerate(*backend.hid);
    bool adapterFound = false;
    out << (seen.empty() ? "No HID interfaces are present.\n" : "HID interfaces:\n");
    for (const SeenInterface& entry : seen) {
        out << "  " << entry.path << "  ";
        if (!entry.opened) {
            out << "(cannot be opened for reading and writing: " << OpenErrorText(entry.openError)
                << ")";
        } else if (!entry.haveIds) {
            out << "(its ids cannot be read)";
        } else {
            out << Hex4(entry.attributes.VendorID) << ':' << Hex4(entry.attributes.ProductID);
            if (IsAdapter(entry) && !adapterFound) {
                out << "  the adapter";
                adapterFound = true;
            }
        }
        out << '\n';
    }
    const std::string adapter =
        "The adapter (" + Hex4(AdapterVendorId) + ":" + Hex4(AdapterProductId) + ")";
    if (adapterFound) {
        out << adapter << " is present and accessible.\n";
    } else if (const auto diagnosis = backend.takeDiagnosis()) {
        out << adapter << " is present but cannot be opened.\n\n" << *diagnosis << '\n';
    } else {
        out << adapter << " is not present.\n";
    }
    return kExitOk;
}

}  // namespace vr::cli
