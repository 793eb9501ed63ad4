#include "platform/sim/Scenario.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>

namespace vr::sim {
namespace {

// Limits that the kernel's HID layer sets: longer descriptors and reports cannot occur.
constexpr std::size_t kMaxDescriptorSize = 4096;
constexpr std::size_t kMaxReportSize = 16384;
// Keeps every time in range of the microsecond count, however many digits a line has.
constexpr std::int64_t kMaxSeconds = 1'000'000'000;
// Far above any recording of the adapter; a bound on what an untrusted file may cost.
constexpr std::size_t kMaxScenarioSize = std::size_t{64} << 20;
// An E: line of the longest report, three characters a byte, with room to spare.
constexpr std::size_t kMaxLineLength = 64 * 1024;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        pos = text.find_first_not_of(" \t\r", pos);
        if (pos == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(text.find_first_of(" \t\r", pos), text.size());
        words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view word, int base) {
    Number value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (error != std::errc{} || end != word.data() + word.size() || word.empty()) {
        return std::nullopt;
    }
    return value;
}

class Parser {
public:
    explicit Parser(std::string_view text) {
        std::size_t pos = 0;
        while (pos <= text.size()) {
            const std::size_t end = std::min(text.find('\n', pos), text.size());
            lines_.push_back(text.substr(pos, end - pos));
            pos = end + 1;
        }
    }

    Scenario Run() {
        for (index_ = 0; index_ < lines_.size(); ++index_) {
            if (lines_[index_].size() > kMaxLineLength) {
                Fail("a line longer than " + std::to_string(kMaxLineLength) + " characters");
            }
            ParseLine(Trim(lines_[index_]));
        }
        if (!haveDescriptor_) {
            throw ScenarioError(0, "no report descriptor (R: line)");
        }
        if (!haveIds_) {
            throw ScenarioError(0, "no device ids (I: line)");
        }
        std::stable_sort(scenario_.steps.begin(), scenario_.steps.end(),
                         [](const ScenarioStep& a, const ScenarioStep& b) { return a.at < b.at; });
        const auto firstPresence =
            std::find_if(scenario_.steps.begin(), scenario_.steps.end(), [](const auto& step) {
                return step.kind == ScenarioStep::Kind::Plug ||
                       step.kind == ScenarioStep::Kind::Unplug;
            });
        scenario_.presentAtStart = firstPresence == scenario_.steps.end() ||
                                   firstPresence->kind != ScenarioStep::Kind::Plug;
        return std::move(scenario_);
    }

private:
    int LineNumber() const { return static_cast<int>(index_) + 1; }
    [[noreturn]] void Fail(const std::string& message) const {
        throw ScenarioError(LineNumber(), message);
    }

    void ParseLine(std::string_view line) {
        if (line.empty()) {
            return;
        }
        if (line.starts_with("#!")) {
            ParseDirective(line.substr(2));
            return;
        }
        if (line.front() == '#') {
            return;
        }
        if (line.size() < 2 || line[1] != ':') {
            Fail("not a line of a recording: \"" + std::string(line.substr(0, 40)) + "\"");
        }
        const std::string_view rest = Trim(line.substr(2));
        switch (line.front()) {
            case 'R':
                ParseDescriptor(rest);
                return;
            case 'N':
                scenario_.name = std::string(rest);
                return;
            case 'P':
                return;
            case 'I':
                ParseIds(rest);
                return;
            case 'D':
                if (rest != "0") {
                    Fail("only recordings of one device (D: 0) can be simulated");
                }
                return;
            case 'E':
                ParseEvent(rest);
                return;
            default:
                Fail(std::string("unknown line type \"") + line.front() + ":\"");
        }
    }

    Microseconds ParseTime(std::string_view word) const {
        const std::size_t dot = word.find('.');
        const std::string_view whole = word.substr(0, dot);
        const std::string_view fraction =
            dot == std::string_view::npos ? std::string_view{} : word.substr(dot + 1);
        const auto seconds = ParseNumber<std::int64_t>(whole, 10);
        // "-0.5" is a negative time too, though its whole seconds read as 0.
        if (!seconds || *seconds < 0 || whole.front() == '-' || *seconds > kMaxSeconds ||
            (dot != std::string_view::npos && (fraction.empty() || fraction.size() > 6))) {
            Fail("bad time \"" + std::string(word) + "\" (seconds.microseconds expected)");
        }
        std::int64_t micros = 0;
        if (!fraction.empty()) {
            const auto digits = ParseNumber<std::int64_t>(fraction, 10);
            if (!digits || fraction.front() == '-' || fraction.front() == '+') {
                Fail("bad time \"" + std::string(word) + "\" (seconds.microseconds expected)");
            }
            micros = *digits;
            for (std::size_t i = fraction.size(); i < 6; ++i) {
                micros *= 10;
            }
        }
        return Microseconds{*seconds * 1'000'000 + micros};
    }

    void AppendHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes) const {
        for (const std::string_view word : Words(text)) {
            const auto value =
                word.size() <= 2 ? ParseNumber<std::uint8_t>(word, 16) : std::nullopt;
            if (!value) {
                Fail("bad byte \"" + std::string(word) + "\" (two hex digits expected)");
            }
            bytes.push_back(*value);
        }
    }

    std::size_t ParseLength(std::string_view word, std::size_t limit) const {
        const auto length = ParseNumber<std::size_t>(word, 10);
        if (!length || *length > limit) {
            Fail("bad length \"" + std::string(word) + "\" (at most " + std::to_string(limit) +
                 ")");
        }
        return *length;
    }

    void ParseDescriptor(std::string_view rest) {
        if (haveDescriptor_) {
            Fail("a second report descriptor");
        }
        const std::vector<std::string_view> words = Words(rest);
        if (words.empty()) {
            Fail("report descriptor without its length");
        }
        const std::size_t length = ParseLength(words.front(), kMaxDescriptorSize);
        AppendHexBytes(rest.substr(words.front().size()), scenario_.descriptor);
        // The bytes may go on over the following lines, which then hold nothing else.
        while (scenario_.descriptor.size() < length && index_ + 1 < lines_.size()) {
            const std::string_view next = Trim(lines_[index_ + 1]);
            if (next.empty() || next.front() == '#' || (next.size() >= 2 && next[1] == ':')) {
                break;
            }
            ++index_;
            AppendHexBytes(next, scenario_.descriptor);
        }
        if (scenario_.descriptor.size() != length) {
            Fail("report descriptor of " + std::to_string(length) + " bytes holds " +
                 std::to_string(scenario_.descriptor.size()));
        }
        haveDescriptor_ = true;
    }

    void ParseIds(std::string_view rest) {
        const std::vector<std::string_view> words = Words(rest);
        if (words.size() != 3) {
            Fail("I: needs bus, vendor and product in hex");
        }
        const auto bus = ParseNumber<std::uint32_t>(words[0], 16);
        const auto vendor = ParseNumber<std::uint16_t>(words[1], 16);
        const auto product = ParseNumber<std::uint16_t>(words[2], 16);
        if (!bus || !vendor || !product) {
            Fail("I: needs bus, vendor and product in hex (vendor and product up to ffff)");
        }
        scenario_.bus = *bus;
        scenario_.vendor = *vendor;
        scenario_.product = *product;
        haveIds_ = true;
    }

    void ParseEvent(std::string_view rest) {
        const std::vector<std::string_view> words = Words(rest);
        if (words.size() < 2) {
            Fail("E: needs a time, a length and the bytes");
        }
        ScenarioStep step;
        step.kind = ScenarioStep::Kind::Report;
        step.at = ParseTime(words[0]);
        step.line = LineNumber();
        const std::size_t length = ParseLength(words[1], kMaxReportSize);
        for (std::size_t i = 2; i < words.size(); ++i) {
            AppendHexBytes(words[i], step.bytes);
        }
        if (length == 0 || step.bytes.size() != length) {
            Fail("event of length " + std::to_string(length) + " holds " +
                 std::to_string(step.bytes.size()) + " bytes");
        }
        scenario_.steps.push_back(std::move(step));
    }

    void ParseDirective(std::string_view rest) {
        const std::vector<std::string_view> words = Words(rest);
        if (words.size() != 2) {
            Fail("a directive is \"#! <seconds>.<microseconds> <what>\"");
        }
        ScenarioStep step;
        step.at = ParseTime(words[0]);
        step.line = LineNumber();
        if (words[1] == "unplug") {
            step.kind = ScenarioStep::Kind::Unplug;
        } else if (words[1] == "plug") {
            step.kind = ScenarioStep::Kind::Plug;
        } else if (words[1] == "fail-wait") {
            step.kind = ScenarioStep::Kind::FailWait;
        } else if (words[1] == "empty-read") {
            step.kind = ScenarioStep::Kind::EmptyRead;
        } else {
            Fail("unknown directive \"" + std::string(words[1]) +
                 "\" (unplug, plug, fail-wait or empty-read)");
        }
        scenario_.steps.push_back(std::move(step));
    }

    std::vector<std::string_view> lines_;
    std::size_t index_ = 0;
    Scenario scenario_;
    bool haveDescriptor_ = false;
    bool haveIds_ = false;
};

}  // namespace

Scenario ParseScenario(std::string_view text) {
    return Parser(text).Run();
}

Scenario LoadScenario(const std::string& path) {
    // Only an ordinary file, looked at before it is opened: opening a FIFO would wait for a
    // writer, and a device like /dev/zero never ends.
    std::error_code error;
    // The path is UTF-8 text (the Windows programs' code page), not the C library's Latin-1.
    const auto status = std::filesystem::status(
        std::filesystem::path(std::u8string(path.begin(), path.end())), error);
    if (error || !std::filesystem::is_regular_file(status)) {
        throw ScenarioError(0, "cannot read the scenario \"" + path + "\" (" +
                                   (error ? error.message() : "not an ordinary file") + ")");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw ScenarioError(0, "cannot read the scenario \"" + path + "\"");
    }
    // Read no further than the limit, whatever the file grows to meanwhile.
    std::string text;
    std::vector<char> chunk(std::size_t{64} * 1024);
    while (file.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
           file.gcount() > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxScenarioSize) {
            throw ScenarioError(0, "\"" + path + "\" is larger than " +
                                       std::to_string(kMaxScenarioSize >> 20) + " MiB");
        }
    }
    if (file.bad()) {
        throw ScenarioError(0, "cannot read the scenario \"" + path + "\"");
    }
    try {
        return ParseScenario(text);
    } catch (const ScenarioError& e) {
        throw ScenarioError(0, "\"" + path + "\": " + e.what());
    }
}

}  // namespace vr::sim
