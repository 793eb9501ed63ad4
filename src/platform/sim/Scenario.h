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

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vr::sim {

using Microseconds = std::chrono::microseconds;

struct ScenarioStep {
    enum class Kind {
        Report,     // the device sends `bytes`
        Unplug,     // the device goes; an outstanding read completes without data
        Plug,       // the device (re)appears
        FailWait,   // the next wait fails
        EmptyRead,  // the next read completes without data
    };
    Kind kind = Kind::Report;
    Microseconds at{0};
    std::vector<std::uint8_t> bytes;
    int line = 0;  // where the step was written, for messages
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
