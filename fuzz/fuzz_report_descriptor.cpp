// The report-descriptor walk on any bytes: never reads past the end, finds a Report ID only where
// an item prefix says so, and the report conversion keeps every byte.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzInput.h"
#include "platform/hidcommon/ReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vr::fuzz::Require;
    const std::span<const std::uint8_t> bytes(data, size);
    const bool numbered = vr::UsesNumberedReports(bytes);
    if (numbered) {
        bool prefixSeen = false;
        for (const std::uint8_t byte : bytes) {
            prefixSeen = prefixSeen || (byte & 0xFC) == 0x84;
        }
        Require(prefixSeen, "numbered reports without a Report ID prefix");
    }
    const auto report = vr::ToWindowsReport(bytes, numbered);
    const std::size_t offset = numbered ? 0 : 1;
    Require(report.size() == size + offset, "report length");
    Require(numbered || report[0] == 0, "unnumbered report without id 0");
    for (std::size_t i = 0; i < size; ++i) {
        Require(report[i + offset] == data[i], "report byte changed");
    }
    return 0;
}
