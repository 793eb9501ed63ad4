#include "platform/hidcommon/ReportDescriptor.h"

#include <gtest/gtest.h>

#include "FakeHidrawTree.h"
#include "platform/linux/HidrawSysfs.h"

namespace vr {
namespace {

TEST(ReportDescriptor, FindsReportIdItemsByWalkingTheItems) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool numbered;
    } cases[] = {
        {"unnumbered device", test::kUnnumberedDescriptor, false},
        {"numbered device", test::kNumberedDescriptor, true},
        {"empty descriptor", {}, false},
        {"report id with 2 data bytes", {0x06, 0x00, 0xFF, 0x86, 0x01, 0x00}, true},
        // 0x85 as data of other items: a 2-byte usage page, a 4-byte logical maximum.
        {"0x85 inside 2-byte data", {0x06, 0x85, 0x00, 0x09, 0x01}, false},
        {"0x85 inside 4-byte data", {0x27, 0xFF, 0x85, 0x85, 0x00, 0x81, 0x02}, false},
        {"0x85 inside a long item", {0xFE, 0x02, 0x10, 0x85, 0x01, 0x09, 0x01}, false},
        {"0x85 as a long item's last data byte", {0xFE, 0x01, 0x10, 0x85, 0x09, 0x01}, false},
        {"report id after a long item", {0xFE, 0x03, 0x10, 0x85, 0x85, 0x85, 0x85, 0x07}, true},
        {"long item with empty data", {0xFE, 0x00, 0x10, 0x85, 0x02}, true},
        {"truncated report id at the end", {0x09, 0x01, 0x85}, false},
        {"truncated long item", {0x09, 0x01, 0xFE}, false},
        {"long item running past the end", {0xFE, 0x09, 0x10, 0x85, 0x01}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UsesNumberedReports(c.bytes), c.numbered) << c.name;
    }
}

TEST(HidrawSysfs, ParsesTheHidIdLine) {
    const struct {
        const char* uevent;
        bool valid;
        std::uint16_t vendor;
        std::uint16_t product;
    } cases[] = {
        {"HID_ID=0003:000011D2:00000001\n", true, 0x11D2, 0x0001},
        {"DRIVER=hid-generic\nHID_ID=0003:0000fedc:0000BA98\nHID_NAME=x\n", true, 0xFEDC, 0xBA98},
        {"HID_ID=0005:0000FFFF:00008000", true, 0xFFFF, 0x8000},  // no trailing newline
        {"HID_NAME=no id here\n", false, 0, 0},
        {"HID_ID=0003:000011D2\n", false, 0, 0},
        {"HID_ID=0003:0001FFFF:00000001\n", false, 0, 0},  // wider than 16 bits
        {"HID_ID=0003:zz:00000001\n", false, 0, 0},
        {"HID_ID=0003::00000001\n", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto id = ParseHidId(c.uevent);
        EXPECT_EQ(id.has_value(), c.valid) << c.uevent;
        EXPECT_EQ(id.value_or(HidId{}).vendor, c.vendor) << c.uevent;
        EXPECT_EQ(id.value_or(HidId{}).product, c.product) << c.uevent;
    }
}

}  // namespace
}  // namespace vr
