#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/StatusKeys.h"
#include "support/ProgramRig.h"

namespace vr::test {
namespace {

TEST(MainWindowPolling, AbsentAdapterSwitchesTheIconOnceAndNeverReads) {
    ProgramRig rig;
    rig.form->Form_Load();
    for (int tick = 0; tick < 5; ++tick) {
        ASSERT_TRUE(rig.view.FireTimer()) << tick;  // re-armed after every tick
    }
    EXPECT_EQ(rig.IconKey(), keyDisconnected);
    EXPECT_EQ(rig.view.iconChanges, 2);  // paused at load, disconnected at the first poll
    EXPECT_EQ(rig.CountTray(NIM_MODIFY), 1);
    EXPECT_EQ(rig.Polls(), 5);
    EXPECT_EQ(rig.hid.Count("CreateFileA"), 0);
    EXPECT_EQ(rig.hid.OpenHandleCount(), 0);
}

TEST(MainWindowPolling, TransferShowsConnectedThenReceivingAndBringsTheWindowUp) {
    ProgramRig rig;
    rig.PlugIn(3);
    rig.LoadIntoTray();

    std::vector<std::string> trayIcons;
    for (const auto& call : rig.toolkit.trayCalls) {
        trayIcons.push_back(rig.toolkit.KeyOfIcon(call.data.hIcon));
    }
    EXPECT_EQ(trayIcons,
              (std::vector<std::string>{keyPaused, keyConnected, keyReceiving, keyPaused}));
    EXPECT_EQ(ScratchFolder::ReadFile(rig.CapturePath()).value_or("").size(), 24U);
    EXPECT_FALSE(rig.state.CaptureFileOpen);
    EXPECT_EQ(rig.hid.OpenHandleCount(), 0);
    EXPECT_EQ(rig.view.state, WindowState::Normal);
    EXPECT_TRUE(rig.view.visible);
    EXPECT_EQ(rig.IconKey(), keyPaused);
    // The tick that received re-arms the timer, but no poll runs while the data waits.
    EXPECT_TRUE(rig.view.FireTimer());
    EXPECT_EQ(rig.Polls(), 1);
}

TEST(MainWindowPolling, TickPollsOnlyWhenMinimisedWithoutUnsavedData) {
    struct Case {
        WindowState state;
        bool unsaved;
        bool polls;
    };
    for (const Case c :
         {Case{WindowState::Minimized, false, true}, Case{WindowState::Minimized, true, false},
          Case{WindowState::Normal, false, false}, Case{WindowState::Normal, true, false}}) {
        ProgramRig rig;
        rig.form->Form_Load();
        rig.view.state = c.state;
        rig.state.UnsavedData = c.unsaved;
        rig.view.FireTimer();
        EXPECT_EQ(rig.Polls(), c.polls ? 1 : 0) << static_cast<int>(c.state) << c.unsaved;
        EXPECT_TRUE(rig.view.timerEnabled);  // re-armed whatever the window's state
    }
}

TEST(MainWindowPolling, GateIsCheckedAfterTheTicksYield) {
    ProgramRig rig;
    rig.form->Form_Load();
    rig.toolkit.QueueEvent([&] { rig.view.UserSetWindowState(WindowState::Normal); });
    rig.view.FireTimer();
    EXPECT_EQ(rig.Polls(), 0);
    EXPECT_EQ(rig.IconKey(), keyPaused);
    EXPECT_TRUE(rig.view.visible);
}

// Some window managers bring the minimised window back while the question (a box it owns) is
// up: the answer decides all the same.
TEST(MainWindowPolling, UserMinimisingWithUnsavedDataIsAskedFirstButNotWhileASaveWrites) {
    struct Case {
        bool saving;
        int answer;
        bool backDuringQuestion;
    };
    for (const Case c :
         {Case{false, vbNo, false}, Case{false, vbYes, false}, Case{true, vbYes, false},
          Case{false, vbYes, true}, Case{false, vbNo, true}}) {
        SCOPED_TRACE(::testing::Message() << "saving " << c.saving << ", answer " << c.answer
                                          << ", back " << c.backDuringQuestion);
        ProgramRig rig;
        rig.PlugIn(2);
        rig.LoadIntoTray();
        const auto minimise = [&] {
            rig.toolkit.QueueAnswer(c.answer);
            if (c.backDuringQuestion) {
                rig.toolkit.QueueEventInMsgBox(
                    [&] { rig.view.UserSetWindowState(WindowState::Normal); });
            }
            rig.view.UserSetWindowState(WindowState::Minimized);
            ASSERT_EQ(rig.toolkit.messageBoxes.size(), c.saving ? 0U : 1U);
            if (!c.saving) {
                const auto& box = rig.toolkit.messageBoxes[0];
                EXPECT_EQ(box.prompt,
                          "Downloaded data exists that has not been saved.\r\n\r\n"
                          "Would you like to discard this unsaved data?");
                EXPECT_EQ(box.style, 36 + 256);  // No is the default
                EXPECT_EQ(box.title, "Verada Rede");
            }
            const bool kept = c.saving || c.answer == vbNo;
            EXPECT_EQ(rig.state.UnsavedData, kept);
            EXPECT_EQ(ScratchFolder::ReadFile(rig.CapturePath()).has_value(), kept);
            EXPECT_EQ(rig.view.visible, kept);
            EXPECT_EQ(rig.view.state, kept ? WindowState::Normal : WindowState::Minimized);
            EXPECT_EQ(rig.view.timerEnabled, !kept);
        };
        if (c.saving) {
            rig.toolkit.QueueEvent(minimise);  // in a yield of the save, while it writes
            rig.Save(rig.scratch.Path("out.csv"));
            EXPECT_EQ(ScratchFolder::ReadFile(rig.scratch.Path("out.csv")).value_or("").size(),
                      36U + 2 * 7);  // the header and both reports: the save went on
            continue;
        }
        minimise();
        rig.view.FireTimer();
        EXPECT_EQ(rig.Polls(), c.answer == vbNo ? 1 : 2);  // polling again once the data is gone
    }
}

// Without a tray the window stays minimised on the taskbar instead of hiding, and there is no
// tray icon to change or remove.
TEST(MainWindowPolling, RestoringPausesAndMinimisingWithoutDataResumesWithOrWithoutATray) {
    for (const bool tray : {true, false}) {
        SCOPED_TRACE(tray ? "tray" : "no tray");
        ProgramRig rig;
        rig.toolkit.trayAvailable = tray;
        rig.LoadIntoTray();
        EXPECT_EQ(rig.form->InTray(), tray);
        EXPECT_EQ(rig.view.state, WindowState::Minimized);
        EXPECT_EQ(rig.view.visible, !tray);
        EXPECT_EQ(rig.Polls(), 1);  // polls while minimised
        EXPECT_EQ(rig.IconKey(), keyDisconnected);
        EXPECT_EQ(rig.CountTray(NIM_MODIFY), tray ? 1 : 0);

        rig.view.UserSetWindowState(WindowState::Normal);
        EXPECT_TRUE(rig.view.visible);
        EXPECT_FALSE(rig.view.timerEnabled);
        EXPECT_EQ(rig.IconKey(), keyPaused);
        EXPECT_EQ(rig.CountTray(NIM_MODIFY), tray ? 2 : 0);
        EXPECT_EQ(rig.toolkit.KeyOfIcon(rig.toolkit.trayCalls.back().data.hIcon), keyPaused);

        rig.view.UserSetWindowState(WindowState::Minimized);
        EXPECT_TRUE(rig.toolkit.messageBoxes.empty());
        EXPECT_EQ(rig.view.visible, !tray);
        EXPECT_TRUE(rig.view.timerEnabled);
        EXPECT_EQ(rig.IconKey(), keyPaused);  // until the next poll

        rig.form->cmdExit_Click();
        EXPECT_TRUE(rig.view.destroyed);
        EXPECT_EQ(rig.CountTray(NIM_DELETE), tray ? 1 : 0);
    }
}

TEST(MainWindowPolling, TicksNeverNestEvenWhenTheTimerIsReArmedDuringAPoll) {
    ProgramRig rig;
    rig.LoadIntoTray();  // no adapter yet
    rig.PlugIn(2);
    // During the tick's yield the user restores and minimises again, which re-arms the timer;
    // the timer then fires in the poll's next yield, before any data has arrived.
    bool nestedFired = false;
    rig.toolkit.QueueEvent([&] {
        rig.view.UserSetWindowState(WindowState::Normal);
        rig.view.UserSetWindowState(WindowState::Minimized);
        rig.toolkit.QueueEvent([&] { nestedFired = rig.view.FireTimer(); });
    });
    rig.view.FireTimer();
    EXPECT_TRUE(nestedFired);
    EXPECT_EQ(rig.Polls(), 2);
    EXPECT_TRUE(rig.view.timerEnabled);
    EXPECT_TRUE(rig.state.UnsavedData);
}

// With the interfaces watched, a search that found nothing is not repeated until they change:
// the timer stays off meanwhile, a change searches at once, and anything that changed the icon
// (a restore) makes the next tick search again. Unwatched, every tick searches.
TEST(MainWindowPolling, WatchedInterfacesAreSearchedOnlyAfterAChange) {
    for (const bool watched : {true, false}) {
        SCOPED_TRACE(watched);
        ProgramRig rig;
        rig.form->WatchInterfaces(watched);
        rig.LoadIntoTray();
        ASSERT_EQ(rig.Polls(), 1);
        for (int tick = 0; tick < 3; ++tick) {
            rig.view.FireTimer();
        }
        EXPECT_EQ(rig.Polls(), watched ? 1 : 4);
        EXPECT_EQ(rig.view.timerEnabled, !watched);
        EXPECT_TRUE(rig.form->TimerEnabled());
        if (!watched) {
            continue;
        }
        rig.form->InterfacesChanged();  // absent still: one search, then asleep again
        EXPECT_EQ(rig.Polls(), 2);
        rig.view.FireTimer();
        EXPECT_FALSE(rig.view.FireTimer());

        rig.form->RestoreWindow();
        rig.form->InterfacesChanged();  // the window is up: no tick runs
        EXPECT_EQ(rig.Polls(), 2);
        rig.form->MinimizeWindow();
        rig.view.FireTimer();  // the icon says paused: searched although nothing changed
        EXPECT_EQ(rig.Polls(), 3);
        EXPECT_EQ(rig.IconKey(), keyDisconnected);

        rig.view.FireTimer();
        rig.PlugIn(2);
        rig.form->InterfacesChanged();
        EXPECT_EQ(rig.Polls(), 4);
        EXPECT_TRUE(rig.state.UnsavedData);
    }
}

}  // namespace
}  // namespace vr::test
