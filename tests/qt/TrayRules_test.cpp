// The rules by which the Qt backend tells the user's window-state changes from the window
// system's answers, and follows a tray that comes late, goes and comes back.
#include <gtest/gtest.h>

#include <vector>

#include "platform/qt/TrayRules.h"

namespace vr::qttest {
namespace {

using qt::TrayPresence;
using qt::TraySighting;
using qt::WindowStateEcho;
using Change = TrayPresence::Change;
constexpr auto kMin = WindowState::Minimized;
constexpr auto kNormal = WindowState::Normal;

TEST(WindowStateEcho, AnswersToTheProgramsRequestAreNotTheUsers) {
    struct Step {
        WindowState reported;
        std::int64_t atMs;
        bool user;
    };
    struct Case {
        const char* desktop;
        bool minimiseReported;
        std::vector<Step> steps;  // after the program asked to minimise at 0 ms
    };
    const std::vector<Case> cases{
        // The window manager maps the new window normally, then carries out the minimise.
        {"X11", true, {{kNormal, 5, false}, {kMin, 8, false}, {kNormal, 5000, true}}},
        // The compositor never reports minimising: normal comes back, now and later.
        {"Wayland", false, {{kNormal, 2, false}, {kNormal, 5000, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desktop);
        WindowStateEcho echo(c.minimiseReported);
        echo.Requested(kMin, 0);
        for (const Step& step : c.steps) {
            EXPECT_EQ(echo.Reported(step.reported, step.atMs), step.user) << step.atMs;
        }
    }
    // On Wayland a minimise from the window's own title bar is the user's.
    WindowStateEcho wayland(false);
    EXPECT_TRUE(wayland.Reported(kMin, 5000));
    EXPECT_EQ(wayland.State(), kMin);
}

TEST(WindowStateEcho, ARequestTheWindowManagerDroppedIsMadeAgainAFewTimes) {
    WindowStateEcho echo(true);
    echo.Requested(kMin, 0);
    EXPECT_FALSE(echo.ShouldAskAgain(kNormal, 500)) << "still settling";
    EXPECT_FALSE(echo.ShouldAskAgain(kMin, 1500)) << "carried out";
    int asked = 0;
    for (std::int64_t now = 1500; now < 20000; now += 1500) {
        if (echo.ShouldAskAgain(kNormal, now)) {
            ++asked;
            echo.Requested(kMin, now);
        }
    }
    EXPECT_EQ(asked, WindowStateEcho::kRepeats);
    EXPECT_FALSE(WindowStateEcho(false).ShouldAskAgain(kNormal, 5000));
}

TEST(TrayPresence, FollowsATrayThatComesLateGoesAndComesBack) {
    const TraySighting none{};
    const TraySighting sni{true, false};
    const TraySighting xembed{false, true};
    struct Case {
        const char* desktop;
        std::vector<std::pair<TraySighting, Change>> looks;
        qt::TrayProtocol protocol;
    };
    const std::vector<Case> cases{
        {"XEmbed panel late, restarted",
         {{none, Change::None},
          {xembed, Change::Appeared},
          {xembed, Change::None},
          {none, Change::Vanished},
          {xembed, Change::Appeared}},
         qt::TrayProtocol::XEmbed},
        // Qt keeps the protocol of its first icon: a later XEmbed tray does not count.
        {"StatusNotifier host late, then gone",
         {{none, Change::None},
          {sni, Change::Appeared},
          {xembed, Change::Vanished},
          {sni, Change::Appeared}},
         qt::TrayProtocol::StatusNotifier},
        {"both at once", {{{true, true}, Change::Appeared}}, qt::TrayProtocol::StatusNotifier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desktop);
        TrayPresence presence;
        for (const auto& [sighting, change] : c.looks) {
            EXPECT_EQ(presence.Look(sighting), change);
        }
        EXPECT_EQ(presence.Protocol(), c.protocol);
        EXPECT_TRUE(presence.Present());
    }
}

}  // namespace
}  // namespace vr::qttest
