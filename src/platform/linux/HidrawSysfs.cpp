#include "platform/linux/HidrawSysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>

namespace vr {

namespace {

constexpr std::string_view kNodePrefix = "hidraw";
// Report descriptors are at most 4096 bytes (HID_MAX_DESCRIPTOR_SIZE); uevent texts are short.
constexpr std::size_t kMaxSysfsFile = 8192;

std::optional<std::vector<std::uint8_t>> ReadSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::array<std::uint8_t, kMaxSysfsFile> content;
    std::size_t used = 0;
    bool failed = false;
    while (used < content.size()) {
        const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(content.begin(), content.begin() + static_cast<long>(used));
}

// The number of a node name "hidrawN", or nothing for any other name.
std::optional<unsigned> NodeNumber(std::string_view name) {
    if (!name.starts_with(kNodePrefix) || name.size() == kNodePrefix.size()) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(kNodePrefix.size());
    unsigned number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

bool ParseHexField(std::string_view text, std::uint32_t& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc{} && end == text.data() + text.size();
}

}  // namespace

std::optional<HidId> ParseHidId(std::string_view uevent) {
    constexpr std::string_view kKey = "HID_ID=";
    while (!uevent.empty()) {
        const std::size_t eol = uevent.find('\n');
        const std::string_view line = uevent.substr(0, eol);
        uevent = eol == std::string_view::npos ? std::string_view{} : uevent.substr(eol + 1);
        if (!line.starts_with(kKey)) {
            continue;
        }
        const std::string_view fields = line.substr(kKey.size());
        const std::size_t first = fields.find(':');
        const std::size_t second =
            first == std::string_view::npos ? first : fields.find(':', first + 1);
        if (second == std::string_view::npos) {
            return std::nullopt;
        }
        HidId id;
        std::uint32_t vendor = 0;
        std::uint32_t product = 0;
        if (!ParseHexField(fields.substr(0, first), id.bus) ||
            !ParseHexField(fields.substr(first + 1, second - first - 1), vendor) ||
            !ParseHexField(fields.substr(second + 1), product) || vendor > 0xFFFF ||
            product > 0xFFFF) {
            return std::nullopt;
        }
        id.vendor = static_cast<std::uint16_t>(vendor);
        id.product = static_cast<std::uint16_t>(product);
        return id;
    }
    return std::nullopt;
}

HidrawSysfs::HidrawSysfs(std::string classDir) : classDir_(std::move(classDir)) {}

HidrawSysfs::~HidrawSysfs() {
    if (dir_ != nullptr) {
        ::closedir(dir_);
    }
}

void HidrawSysfs::Reopen() const {
    if (dir_ != nullptr) {
        ::closedir(dir_);
    }
    dir_ = ::opendir(classDir_.c_str());
    openedAt_ = Clock::now();
}

void HidrawSysfs::ReadNodes(std::vector<std::pair<unsigned, std::string>>& nodes) const {
    nodes.clear();
    if (dir_ == nullptr) {
        return;
    }
    ::rewinddir(dir_);
    while (const dirent* entry = ::readdir(dir_)) {
        if (const auto number = NodeNumber(entry->d_name)) {
            nodes.emplace_back(*number, entry->d_name);
        }
    }
}

std::vector<std::string> HidrawSysfs::NodeNames() const {
    std::vector<std::pair<unsigned, std::string>> nodes;
    {
        std::lock_guard lock(mutex_);
        if (dir_ == nullptr) {
            Reopen();
        }
        ReadNodes(nodes);
        if (nodes.empty() && Clock::now() - openedAt_ >= kReopenAfter) {
            Reopen();
            ReadNodes(nodes);
        }
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> names;
    names.reserve(nodes.size());
    for (auto& node : nodes) {
        names.push_back(std::move(node.second));
    }
    return names;
}

std::optional<HidId> HidrawSysfs::Id(const std::string& node) const {
    if (!NodeNumber(node)) {
        return std::nullopt;
    }
    const auto uevent = ReadSmallFile(classDir_ + "/" + node + "/device/uevent");
    if (!uevent) {
        return std::nullopt;
    }
    return ParseHidId(
        std::string_view(reinterpret_cast<const char*>(uevent->data()), uevent->size()));
}

std::optional<std::vector<std::uint8_t>> HidrawSysfs::ReportDescriptor(
    const std::string& node) const {
    if (!NodeNumber(node)) {
        return std::nullopt;
    }
    return ReadSmallFile(classDir_ + "/" + node + "/device/report_descriptor");
}

}  // namespace vr
