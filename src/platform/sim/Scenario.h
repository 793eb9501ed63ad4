#pragma once

// A scenario for the simulated adapter: a recording in the text format of hid-recorder
// (hid-tools), with the simulator's own directives riding in comment lines so that the file
// stays a valid recording:
//
//   # any comment
//   R: <length> <descriptor bytes in hex>      (may continue on the following lines)
//   N: <device name>
//   P: <physical path>                         (ignored)
//   I: <bus> <vendor> <product>                (hex)
//   D: 0                                       (one device per file)
//   E: <seconds>.<microseconds> <length> <bytes in hex>
//   #! <seconds>.<microseconds> unplug | plug | fail-wait | empty-read
//
// The bytes of an E line are what one read of the hidraw node gave: they start with the report
// id only when the descriptor declares numbered reports. Parsing is pure (no file, no OS), so
// any text can be fed to it; a malformed line is an error that names the line.
//
// Memory stays near the size of the text: a step is a few fixed fields (24 bytes), the bytes of
// every report share one buffer, and a scenario of more than 2097152 steps is refused, so that a
// file of short E: lines cannot cost many times its size.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vr::sim {

using Microseconds = std::chrono::microseconds;

struct ScenarioStep {
    enum class Kind : std::uint8_t {
        Report,     // the device sends the step's bytes
        Unplug,     // the device goes; an outstanding read completes without data
        Plug,       // the device (re)appears
        FailWait,   // the next wait fails
        EmptyRead,  // the next read completes without data
    };
    Microseconds at{0};
    // Where a report's bytes are in Scenario::reportBytes (Scenario::Bytes gives them).
    std::size_t offset = 0;
    int line = 0;  // where the step was written, for messages
    std::uint16_t size = 0;
    Kind kind = Kind::Report;
};

struct Scenario {
    std::string name;
    std::uint32_t bus = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::vector<std::uint8_t> descriptor;
    // When the device is first present; a scenario whose earliest plug or unplug is a plug
    // starts without the device.
    bool presentAtStart = true;
    // In the order of their times; steps with equal times keep the order of the file.
    std::vector<ScenarioStep> steps;
    // The bytes of every report, one report after the other.
    std::vector<std::uint8_t> reportBytes;

    std::span<const std::uint8_t> Bytes(const ScenarioStep& step) const {
        return std::span(reportBytes).subspan(step.offset, step.size);
    }
    // Appends a report at `at`, for scenarios built in code; throws std::length_error for more
    // than 65535 bytes.
    void AddReport(Microseconds at, std::span<const std::uint8_t> bytes);
};

class ScenarioError : public std::runtime_error {
public:
    ScenarioError(int line, const std::string& message)
        : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + message : message),
          line_(line) {}
    int line() const { return line_; }

private:
    int line_;
};

// Throws ScenarioError for a malformed or incomplete text.
Scenario ParseScenario(std::string_view text);

// Reads and parses a scenario file; a file that cannot be read is a ScenarioError too.
Scenario LoadScenario(const std::string& path);

}  // namespace vr::sim
