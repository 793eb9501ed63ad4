#pragma once

// What sysfs tells about the hidraw nodes present: their names, the HID ids of the device behind
// each, and its report descriptor. Rooted at a class folder (normally /sys/class/hidraw) so that
// tests can lay out a tree of their own.

#include <dirent.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vr {

struct HidId {
    std::uint32_t bus = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

// The ids of a `HID_ID=bbbb:vvvvvvvv:pppppppp` line in a uevent text; nothing when the line is
// missing or malformed. Vendor and product are 16-bit values written in 8 hex digits.
std::optional<HidId> ParseHidId(std::string_view uevent);

class HidrawSysfs {
public:
    explicit HidrawSysfs(std::string classDir);
    ~HidrawSysfs();
    HidrawSysfs(const HidrawSysfs&) = delete;
    HidrawSysfs& operator=(const HidrawSysfs&) = delete;

    // The names of the hidraw nodes present ("hidraw0", "hidraw1", ...), in the order of their
    // numbers; empty when the folder cannot be read. Every call reads the folder afresh.
    std::vector<std::string> NodeNames() const;
    std::optional<HidId> Id(const std::string& node) const;
    std::optional<std::vector<std::uint8_t>> ReportDescriptor(const std::string& node) const;

private:
    using Clock = std::chrono::steady_clock;
    // The class folder stays open between calls and is read again from its start each time:
    // looking up its path in sysfs costs more than reading it, and the tray reads it on every
    // poll. A folder that the kernel removed lists nothing, so while it lists no node it is
    // opened anew by path, at most once in kReopenAfter (the folder goes only when the HID core
    // itself is unloaded, and comes back before any device can appear in it).
    static constexpr Clock::duration kReopenAfter = std::chrono::seconds(1);
    void Reopen() const;
    void ReadNodes(std::vector<std::pair<unsigned, std::string>>& nodes) const;

    std::string classDir_;
    mutable std::mutex mutex_;
    mutable DIR* dir_ = nullptr;
    mutable Clock::time_point openedAt_;
};

}  // namespace vr
