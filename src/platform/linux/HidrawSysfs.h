#pragma once

// What sysfs tells about the hidraw nodes present: their names, the HID ids of the device behind
// each, and its report descriptor. Rooted at a class folder (normally /sys/class/hidraw) so that
// tests can lay out a tree of their own.

#include <cstdint>
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

    // The names of the hidraw nodes present ("hidraw0", "hidraw1", ...), in the order of their
    // numbers; empty when the folder cannot be read.
    std::vector<std::string> NodeNames() const;
    std::optional<HidId> Id(const std::string& node) const;
    std::optional<std::vector<std::uint8_t>> ReportDescriptor(const std::string& node) const;

private:
    std::string classDir_;
};

}  // namespace vr
