#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Scenario.h"
#include "support/ScratchFolder.h"

namespace vr::sim {
namespace {

using Kind = ScenarioStep::Kind;
using std::chrono::microseconds;

const std::string kHeader =
    "# Zorvik IrDA USB adapter\n"
    "R: 6 06 a0 ff 09 01 c0\n"
    "N: Zorvik IrDA USB adapter\n"
    "P: usb-0000:00:14.0-2/input0\n"
    "I: 3 11d2 0001\n";

TEST(Scenario, ReadsAHidRecorderRecording) {
    const Scenario scenario = ParseScenario(kHeader +
                                            "D: 0\n"
                                            "E: 000002.500000 8 41 42 43 44 45 46 47 48\r\n"
                                            "# ReportID: 0 / a comment between events\n"
                                            "E: 2.5083 3 0a 00 FF\n");
    EXPECT_EQ(scenario.name, "Zorvik IrDA USB adapter");
    EXPECT_EQ(scenario.bus, 3u);
    EXPECT_EQ(scenario.vendor, 0x11D2);
    EXPECT_EQ(scenario.product, 0x0001);
    EXPECT_EQ(scenario.descriptor, (std::vector<std::uint8_t>{0x06, 0xA0, 0xFF, 0x09, 0x01, 0xC0}));
    EXPECT_TRUE(scenario.presentAtStart);
    ASSERT_EQ(scenario.steps.size(), 2u);
    EXPECT_EQ(scenario.steps[0].kind, Kind::Report);
    EXPECT_EQ(scenario.steps[0].at, microseconds(2'500'000));
    EXPECT_EQ(scenario.steps[0].bytes,
              (std::vector<std::uint8_t>{0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48}));
    EXPECT_EQ(scenario.steps[0].line, 7);
    // A shorter fraction counts in tenths, hundredths ... of a second.
    EXPECT_EQ(scenario.steps[1].at, microseconds(2'508'300));
    EXPECT_EQ(scenario.steps[1].bytes, (std::vector<std::uint8_t>{0x0A, 0x00, 0xFF}));
}

TEST(Scenario, DescriptorMayContinueOnTheFollowingLines) {
    const Scenario scenario = ParseScenario(
        "R: 6 06 a0\n"
        "   ff 09\n"
        "01 c0\n"
        "I: 3 11d2 0001\n");
    EXPECT_EQ(scenario.descriptor, (std::vector<std::uint8_t>{0x06, 0xA0, 0xFF, 0x09, 0x01, 0xC0}));
}

TEST(Scenario, DirectivesAreStepsInTimeOrderWithTheEvents) {
    const Scenario scenario = ParseScenario(kHeader +
                                            "#! 3.000000 unplug\n"
                                            "E: 1.000000 1 01\n"
                                            "#! 1.000000 empty-read\n"
                                            "#! 0.500000 fail-wait\n"
                                            "#! 4.000000 plug\n");
    std::vector<Kind> kinds;
    std::vector<microseconds::rep> times;
    for (const ScenarioStep& step : scenario.steps) {
        kinds.push_back(step.kind);
        times.push_back(step.at.count());
    }
    // Equal times keep the order of the file.
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::FailWait, Kind::Report, Kind::EmptyRead, Kind::Unplug,
                                        Kind::Plug}));
    EXPECT_EQ(times, (std::vector<microseconds::rep>{500'000, 1'000'000, 1'000'000, 3'000'000,
                                                     4'000'000}));
    EXPECT_TRUE(scenario.presentAtStart);
}

TEST(Scenario, AnEarliestPlugMeansTheDeviceAppearsThen) {
    const struct {
        const char* directives;
        bool presentAtStart;
    } cases[] = {
        {"", true},
        {"#! 3.0 plug\n", false},
        {"#! 1.0 fail-wait\n#! 3.0 plug\n", false},
        {"#! 5.0 plug\n#! 2.0 unplug\n", true},
        {"#! 2.0 unplug\n#! 5.0 plug\n", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseScenario(kHeader + c.directives).presentAtStart, c.presentAtStart)
            << c.directives;
    }
}

TEST(Scenario, MalformedTextIsAnErrorThatNamesTheLine) {
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {kHeader + "E: 1.0 2 41\n", "line 6: event of length 2 holds 1 bytes"},
        {kHeader + "E: 1.0 0\n", "line 6: event of length 0 holds 0 bytes"},
        {kHeader + "E: 1.0 1 4g1\n", "line 6: bad byte \"4g1\""},
        {kHeader + "E: 1.0 1 x\n", "line 6: bad byte \"x\""},
        {kHeader + "E: -1.0 1 41\n", "line 6: bad time \"-1.0\""},
        {kHeader + "E: 1.1234567 1 41\n", "line 6: bad time \"1.1234567\""},
        {kHeader + "E: 1. 1 41\n", "line 6: bad time \"1.\""},
        {kHeader + "E: 99999999999 1 41\n", "line 6: bad time"},
        {kHeader + "E: 1.0\n", "line 6: E: needs a time, a length and the bytes"},
        {kHeader + "#! 1.0 explode\n", "line 6: unknown directive \"explode\""},
        {kHeader + "#! unplug\n", "line 6: a directive is"},
        {kHeader + "D: 1\n", "line 6: only recordings of one device"},
        {kHeader + "X: 1\n", "line 6: unknown line type \"X:\""},
        {kHeader + "hello\n", "line 6: not a line of a recording"},
        {kHeader + "R: 1 00\n", "line 6: a second report descriptor"},
        {"R: 3 06 a0\nI: 3 11d2 0001\n", "line 1: report descriptor of 3 bytes holds 2"},
        {"R: 5000\n", "line 1: bad length \"5000\""},
        {"R: 1 06\nI: 3 11d2\n", "line 2: I: needs bus, vendor and product"},
        {"R: 1 06\nI: 3 11d2 10000\n", "line 2: I: needs bus, vendor and product"},
        {"I: 3 11d2 0001\n", "no report descriptor"},
        {"R: 1 06\n", "no device ids"},
        {"", "no report descriptor"},
    };
    for (const auto& c : cases) {
        try {
            ParseScenario(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ScenarioError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u)
                << "message: " << e.what() << "\nexpected: " << c.message;
        }
    }
}

TEST(Scenario, LoadNamesTheFileInItsErrors) {
    test::ScratchFolder folder;
    const std::string path = folder.Path("broken.hid");
    test::ScratchFolder::WriteFile(path, kHeader + "E: 1.0 2 41\n");
    try {
        LoadScenario(path);
        ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "\"" + path + "\": line 6: event of length 2 holds 1 bytes");
    }
    EXPECT_THROW(LoadScenario(folder.Path("missing.hid")), ScenarioError);

    test::ScratchFolder::WriteFile(path, kHeader + "E: 1.0 1 41\n");
    EXPECT_EQ(LoadScenario(path).steps.size(), 1u);
}

}  // namespace
}  // namespace vr::sim
