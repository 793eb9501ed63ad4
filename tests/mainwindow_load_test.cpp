#include <gtest/gtest.h>

#include <string>

#include "saving/SaveJournal.h"
#include "shared/CapturePaths.h"
#include "shared/StatusKeys.h"
#include "support/ProgramRig.h"

namespace vr::test {
namespace {

TEST(MainWindowLoad, PlacesShowsAddsTrayIconAndHidesInTheTray) {
    ProgramRig rig;
    rig.view.screenWidth = 1024;
    rig.view.screenHeight = 768;
    rig.view.outerWidth = 310;
    rig.view.outerHeight = 108;
    rig.form->Form_Load();

    EXPECT_DOUBLE_EQ(rig.view.top, 220.0);  // a third of the free height, not a half
    EXPECT_DOUBLE_EQ(rig.view.left, 357.0);
    EXPECT_EQ(rig.view.state, WindowState::Minimized);
    EXPECT_FALSE(rig.view.visible);
    EXPECT_TRUE(rig.view.timerEnabled);
    EXPECT_EQ(rig.state.CaptureFilePath, rig.CapturePath());
    // Shown once before going to the tray, with the paused picture that the tray then carries.
    EXPECT_EQ(rig.view.log.front(), "show");
    EXPECT_EQ(rig.view.log.back(), "hide");
    EXPECT_EQ(rig.IconKey(), keyPaused);
    ASSERT_EQ(rig.CountTray(NIM_ADD), 1);
    ASSERT_EQ(rig.toolkit.trayCalls.size(), 1U);
    EXPECT_EQ(rig.toolkit.KeyOfIcon(rig.toolkit.trayCalls[0].data.hIcon), keyPaused);
    EXPECT_EQ(rig.Polls(), 0);  // no poll during the load
}

TEST(MainWindowLoad, TrayRecordAsksForMouseMessagesAndHoldsTheVersionTip) {
    ProgramRig rig;
    rig.form->Form_Load();
    const NotifyIconData& data = rig.form->TrayIconData();
    EXPECT_EQ(data.hWnd, rig.view.GetHandle());
    EXPECT_EQ(data.uFlags, 7U);
    EXPECT_EQ(data.uCallbackMessage, 0x200U);
    const std::string tip(data.szTip.data(), data.szTip.size());
    const std::string text = "Verada Rede v" VR_VERSION_TEXT;
    EXPECT_EQ(tip.substr(0, text.size() + 1), text + '\0');
    EXPECT_EQ(tip.substr(text.size() + 1), std::string(64 - text.size() - 1, ' '));
}

TEST(MainWindowLoad, LeftoverCaptureFileIsDeletedAndAFailureToDoSoIsReported) {
    for (const bool deletable : {true, false}) {
        ProgramRig rig;
        ScratchFolder::WriteFile(rig.CapturePath(), "stale bytes");
        rig.files.failOn = deletable ? "" : "delete vrtemp.csv";
        rig.form->Form_Load();
        EXPECT_EQ(ScratchFolder::ReadFile(rig.CapturePath()).has_value(), !deletable);
        EXPECT_FALSE(rig.state.UnsavedData);
        ASSERT_EQ(rig.toolkit.messageBoxes.size(), deletable ? 0U : 1U);
        if (!deletable) {
            const auto& box = rig.toolkit.messageBoxes[0];
            EXPECT_EQ(box.style, 48);
            EXPECT_NE(box.prompt.find(rig.CapturePath()), std::string::npos);
            EXPECT_NE(box.prompt.find("Operation not permitted"), std::string::npos);
        }
        EXPECT_TRUE(rig.view.FireTimer());  // polling starts either way
        EXPECT_EQ(rig.Polls(), 1);
    }
}

// A save cut short that cannot be run again (its target's folder is gone): the capture is not
// deleted as a leftover but waits for Save, the window up, the user told once.
TEST(MainWindowLoad, DataOfAnInterruptedSaveThatCannotBeFinishedIsKept) {
    ProgramRig rig;
    ScratchFolder::WriteFile(rig.CapturePath(), "1,2\r\n");
    SaveJournal journal;
    journal.capture = rig.CapturePath();
    journal.target = rig.scratch.Path("gone/out.csv");
    journal.replacement = ReplacementFor(journal.target, UniqueSuffix());
    journal.captureIdentity = rig.files.Identify(journal.capture).value();
    journal.captureLength = 5;
    journal.Write(rig.files);
    rig.form->Form_Load();
    EXPECT_EQ(ScratchFolder::ReadFile(rig.CapturePath()), "1,2\r\n");
    EXPECT_TRUE(rig.state.UnsavedData);
    EXPECT_TRUE(rig.view.visible);
    EXPECT_FALSE(rig.view.timerEnabled);
    ASSERT_EQ(rig.toolkit.messageBoxes.size(), 1U);
    EXPECT_NE(rig.toolkit.messageBoxes[0].prompt.find("data is kept"), std::string::npos);
}

TEST(MainWindowLoad, TickArrivingDuringTheLoadWaitsUntilItHasFinished) {
    ProgramRig rig;
    // Step 8's yield comes after the timer has been armed and before the capture path is set.
    bool firedEarly = false;
    rig.toolkit.QueueEventAtDoEvents(5, [&] { firedEarly = rig.view.FireTimer(); });
    rig.form->Form_Load();
    EXPECT_TRUE(firedEarly);
    EXPECT_EQ(rig.Polls(), 0);
    EXPECT_TRUE(rig.view.timerEnabled);  // not lost: the next tick polls
    EXPECT_TRUE(rig.view.FireTimer());
    EXPECT_EQ(rig.Polls(), 1);
}

}  // namespace
}  // namespace vr::test
