#include "platform/sim/Scenario.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <limits>
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
// One step for every 32 characters of the largest file, more than a file of the adapter's
// reports holds (an E: line of eight bytes is 43 characters). A step takes 24 bytes, more than
// its shortest line ("E:0 1 0", 8 characters with its end), so their number needs a bound of its
// own to keep the memory of a scenario near its size.
constexpr std::size_t kMaxSteps = kMaxScenarioSize / 32;
static_assert(sizeof(ScenarioStep) <= 24, "a step is a few fixed fields, its bytes live apart");

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Takes the first word off `text`; empty when none is left.
std::string_view TakeWord(std::string_view& text) {
    const std::size_t first = std::min(text.find_first_not_of(" \t\r"), text.size());
    const std::size_t end = std::min(text.find_first_of(" \t\r", first), text.size());
    const std::string_view word = text.substr(first, end - first);
    text.remove_prefix(end);
    return word;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    for (std::string_view word = TakeWord(text); !word.empty(); word = TakeWord(text)) {
        words.push_back(word);
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

bool IsStepLine(std::string_view trimmed) {
    return trimmed.starts_with("#!") || trimmed.starts_with("E:");
}

// The lines of a text, split at '\n' where they are; a text ending in '\n' ends with an empty
// line.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    bool AtEnd() const { return next_ > text_.size(); }
    std::string_view Peek() const {
        const std::size_t end = std::min(text_.find('\n', next_), text_.size());
        return text_.substr(next_, end - next_);
    }
    std::string_view Next() {
        const std::string_view line = Peek();
        next_ += line.size() + 1;
        return line;
    }

private:
    std::string_view text_;
    std::size_t next_ = 0;
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text), lines_(text) {}

    Scenario Run() {
        Reserve();
        while (!lines_.AtEnd()) {
            const std::string_view line = lines_.Next();
            ++lineNumber_;
            if (line.size() > kMaxLineLength) {
                Fail("a line longer than " + std::to_string(kMaxLineLength) + " characters");
            }
            ParseLine(Trim(line));
        }
        if (!haveDescriptor_) {
            throw ScenarioError(0, "no report descriptor (R: line)");
        }
        if (!haveIds_) {
            throw ScenarioError(0, "no device ids (I: line)");
        }
        // Sorted in place by time, then by line, the order of the file: a stable sort would take
        // a buffer of half the steps. A recording is mostly in time order already.
        const auto earlier = [](const ScenarioStep& a, const ScenarioStep& b) {
            return a.at != b.at ? a.at < b.at : a.line < b.line;
        };
        if (!std::is_sorted(scenario_.steps.begin(), scenario_.steps.end(), earlier)) {
            std::sort(scenario_.steps.begin(), scenario_.steps.end(), earlier);
        }
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
    int LineNumber() const { return static_cast<int>(lineNumber_); }
    [[noreturn]] void Fail(const std::string& message) const {
        throw ScenarioError(LineNumber(), message);
    }

    // Allocates the steps and the reports' bytes once, at the most the text can give: grown by
    // doubling, they would for a while hold the old and the new array, and up to twice what
    // they need. Pages reserved but never written take no memory.
    void Reserve() {
        std::size_t steps = 0;
        std::size_t bytes = 0;
        for (Lines lines(text_); !lines.AtEnd();) {
            const std::string_view line = Trim(lines.Next());
            if (IsStepLine(line)) {
                ++steps;
                // Every byte takes a word of its own and a blank after it or before it.
                bytes += line.starts_with("E:") ? line.size() / 2 : 0;
            }
        }
        scenario_.steps.reserve(std::min(steps, kMaxSteps));
        scenario_.reportBytes.reserve(bytes);
    }

    void AddStep(ScenarioStep step) {
        if (scenario_.steps.size() == kMaxSteps) {
            Fail("more than " + std::to_string(kMaxSteps) + " events and directives");
        }
        step.line = LineNumber();
        scenario_.steps.push_back(step);
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

    void AppendHexByte(std::string_view word, std::vector<std::uint8_t>& bytes) const {
        const auto value = word.size() <= 2 ? ParseNumber<std::uint8_t>(word, 16) : std::nullopt;
        if (!value) {
            Fail("bad byte \"" + std::string(word) + "\" (two hex digits expected)");
        }
        bytes.push_back(*value);
    }

    void AppendHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes) const {
        // Word by word: a list of the words of a long line would be an allocation as large.
        for (std::string_view word = TakeWord(text); !word.empty(); word = TakeWord(text)) {
            AppendHexByte(word, bytes);
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
        while (scenario_.descriptor.size() < length && !lines_.AtEnd()) {
            const std::string_view next = Trim(lines_.Peek());
            if (next.empty() || next.front() == '#' || (next.size() >= 2 && next[1] == ':')) {
                break;
            }
            lines_.Next();
            ++lineNumber_;
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
        const std::string_view time = TakeWord(rest);
        const std::string_view lengthWord = TakeWord(rest);
        if (lengthWord.empty()) {
            Fail("E: needs a time, a length and the bytes");
        }
        ScenarioStep step;
        step.kind = ScenarioStep::Kind::Report;
        step.at = ParseTime(time);
        const std::size_t length = ParseLength(lengthWord, kMaxReportSize);
        std::vector<std::uint8_t>& bytes = scenario_.reportBytes;
        step.offset = bytes.size();
        AppendHexBytes(rest, bytes);
        const std::size_t held = bytes.size() - step.offset;
        if (length == 0 || held != length) {
            Fail("event of length " + std::to_string(length) + " holds " + std::to_string(held) +
                 " bytes");
        }
        step.size = static_cast<std::uint16_t>(held);  // at most kMaxReportSize
        AddStep(step);
    }

    void ParseDirective(std::string_view rest) {
        const std::vector<std::string_view> words = Words(rest);
        if (words.size() != 2) {
            Fail("a directive is \"#! <seconds>.<microseconds> <what>\"");
        }
        ScenarioStep step;
        step.at = ParseTime(words[0]);
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
        AddStep(step);
    }

    std::string_view text_;
    Lines lines_;
    std::size_t lineNumber_ = 0;
    Scenario scenario_;
    bool haveDescriptor_ = false;
    bool haveIds_ = false;
};

}  // namespace

void Scenario::AddReport(Microseconds at, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > std::numeric_limits<std::uint16_t>::max()) {
        throw std::length_error("a report of more than 65535 bytes");
    }
    ScenarioStep step;
    step.at = at;
    step.offset = reportBytes.size();
    step.size = static_cast<std::uint16_t>(bytes.size());
    reportBytes.insert(reportBytes.end(), bytes.begin(), bytes.end());
    steps.push_back(step);
}

Scenario ParseScenario(std::string_view text) {
    return Parser(text).Run();
}

Scenario LoadScenario(const std::string& path) {
    // Only an ordinary file, looked at before it is opened: opening a FIFO would wait for a
    // writer, and a device like /dev/zero never ends.
    std::error_code error;
    // The path is UTF-8 text (the Windows programs' code page), not the C library's Latin-1.
    const std::filesystem::path fsPath(std::u8string(path.begin(), path.end()));
    const auto status = std::filesystem::status(fsPath, error);
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
    // Room for the whole file from the start: a text grown by doubling would for a moment hold
    // its old and its new buffer, twice its size.
    const auto size = std::filesystem::file_size(fsPath, error);
    if (!error) {
        text.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(size, kMaxScenarioSize)) +
                     chunk.size());
    }
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
