#pragma once

// Report-descriptor facts that every HID backend needs, as pure functions over bytes: no OS
// header here, so a backend that replays recorded devices can share them.

#include <cstdint>
#include <span>
#include <vector>

namespace vr {

// True when the descriptor declares a Report ID item, that is, when every report of the device
// starts with its report-id byte. Walks the items one by one (short items with 0, 1, 2 or 4 data
// bytes, long items introduced by 0xFE), so a 0x85 byte inside another item's data is not taken
// for a Report ID. A truncated last item ends the walk.
bool UsesNumberedReports(std::span<const std::uint8_t> descriptor);

// An input report as the Windows HID stack hands it over: position 0 holds the report id (0 for
// a device without numbered reports), the payload follows. `raw` is what one read of the device
// gave, which starts with the report id only for a device with numbered reports.
std::vector<std::uint8_t> ToWindowsReport(std::span<const std::uint8_t> raw, bool numbered);

}  // namespace vr
