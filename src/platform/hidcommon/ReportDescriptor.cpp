#include "platform/hidcommon/ReportDescriptor.h"

#include <cstddef>

namespace vr {

namespace {

constexpr std::uint8_t kLongItemPrefix = 0xFE;
// Tag 8 (Report ID) of type 1 (global), whatever its data size.
constexpr std::uint8_t kReportIdTagAndType = 0x84;
constexpr std::uint8_t kTagAndTypeMask = 0xFC;
constexpr std::uint8_t kSizeMask = 0x03;

std::size_t ShortItemDataSize(std::uint8_t prefix) {
    const std::size_t code = prefix & kSizeMask;
    return code == 3 ? 4 : code;
}

}  // namespace

bool UsesNumberedReports(std::span<const std::uint8_t> descriptor) {
    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::uint8_t prefix = descriptor[pos];
        if (prefix == kLongItemPrefix) {
            // Long item: prefix, data size, long tag, then the data.
            if (pos + 1 >= descriptor.size()) {
                return false;
            }
            pos += 3 + std::size_t{descriptor[pos + 1]};
            continue;
        }
        const std::size_t dataSize = ShortItemDataSize(prefix);
        if (pos + 1 + dataSize > descriptor.size()) {
            return false;
        }
        if ((prefix & kTagAndTypeMask) == kReportIdTagAndType) {
            return true;
        }
        pos += 1 + dataSize;
    }
    return false;
}

std::vector<std::uint8_t> ToWindowsReport(std::span<const std::uint8_t> raw, bool numbered) {
    std::vector<std::uint8_t> report;
    report.reserve(raw.size() + 1);
    if (!numbered) {
        report.push_back(0);
    }
    report.insert(report.end(), raw.begin(), raw.end());
    return report;
}

}  // namespace vr
