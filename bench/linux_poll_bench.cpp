// Cost of one search for the adapter on hidraw while it is absent, with 0, 8 and 32 other HID
// interfaces present: the enumeration and open sequence that every poll of the tray makes.

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/LinuxHidPlatform.h"

namespace {

class FakeTree {
public:
    explicit FakeTree(int interfaces) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vr-hidraw-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        root_ = pattern;
        std::filesystem::create_directories(root_ / "dev");
        for (int n = 0; n < interfaces; ++n) {
            const std::string node = "hidraw" + std::to_string(n);
            const auto device = root_ / "sys/class/hidraw" / node / "device";
            std::filesystem::create_directories(device);
            char uevent[96];
            std::snprintf(uevent, sizeof uevent, "DRIVER=hid-generic\nHID_ID=0003:%08X:%08X\n",
                          0x046D, 0xC000 + n);
            std::ofstream(device / "uevent") << uevent;
            std::ofstream(device / "report_descriptor") << std::string("\x09\x01\xA1\x01\xC0", 5);
            ::mkfifo((root_ / "dev" / node).c_str(), 0600);
        }
        std::filesystem::create_directories(root_ / "sys/class/hidraw");
    }
    ~FakeTree() { std::filesystem::remove_all(root_); }
    std::string Sysfs() const { return (root_ / "sys/class/hidraw").string(); }
    std::string Dev() const { return (root_ / "dev").string(); }

private:
    std::filesystem::path root_;
};

// The adapter's search: every interface is opened, its attributes read, and closed again.
bool LocateAdapter(vr::HidPlatform& hid) {
    vr::Guid guid;
    hid.HidD_GetHidGuid(guid);
    const vr::Handle set = hid.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
    bool found = false;
    vr::SpDeviceInterfaceData data;
    for (std::uint32_t index = 0; !found; ++index) {
        data.cbSize = 28;
        if (!hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, index, data)) {
            break;
        }
        std::uint32_t required = 0;
        hid.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
        std::vector<std::uint8_t> detail(required + 1, 0);
        detail[0] = 5;
        hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required, &required,
                                             nullptr);
        const std::string path(reinterpret_cast<const char*>(detail.data() + 4));
        const vr::Handle device = hid.CreateFileA(path, 0xC0000000u, 3, nullptr, 3, 0, 0);
        if (device == vr::kInvalidHandle) {
            continue;
        }
        vr::HiddAttributes attributes;
        attributes.Size = 12;
        const bool read = hid.HidD_GetAttributes(device, attributes);
        hid.CloseHandle(device);
        found = read && attributes.VendorID == 0x11D2 && attributes.ProductID == 0x0001;
    }
    hid.SetupDiDestroyDeviceInfoList(set);
    return found;
}

void BM_PollAdapterAbsent(benchmark::State& state) {
    const FakeTree tree(static_cast<int>(state.range(0)));
    vr::LinuxHidPlatform hid(tree.Sysfs(), tree.Dev());
    for (auto _ : state) {
        benchmark::DoNotOptimize(LocateAdapter(hid));
    }
}
BENCHMARK(BM_PollAdapterAbsent)->Arg(0)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace
