#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/StatusKeys.h"
#include "support/ProgramRig.h"

namespace vr::test {
namespace {

TEST(MainWindowTray, OnlyAButtonReleaseOverTheIconOpensTheMenu) {
    for (const int message : {0x200, 0x201, 0x202, 0x203, 0x204, 0x205, 0x206, 0x207}) {
        ProgramRig rig;
        rig.LoadIntoTray();
        rig.TrayEvent(message);
        const bool opens = message == 0x202 || message == 0x205;
        EXPECT_EQ(rig.view.popupMenus, opens ? 1 : 0) << message;
        EXPECT_EQ(rig.toolkit.foregroundCalls,
                  opens ? std::vector<WindowHandle>{4242} : std::vector<WindowHandle>{})
            << message;
    }
}

TEST(MainWindowTray, EventNumberIsConvertedFromTwips) {
    ProgramRig rig;
    rig.view.coordinateUnit = CoordinateUnit::Twip;
    rig.view.twipsPerPixelX = 15;
    rig.TrayEvent(0x205);  // 517 twips is about 34 pixels: a plain move
    EXPECT_EQ(rig.view.popupMenus, 0);
    rig.form->Form_MouseMove(0, 0, 0x205 * 15.0F + 4.0F, 0);
    EXPECT_EQ(rig.view.popupMenus, 1);
}

TEST(MainWindowExit, EveryPathAsksOnlyWithUnsavedDataAndEndsUnlessTheUserStays) {
    const struct {
        const char* name;
        void (*choose)(ProgramRig& rig);
    } paths[] = {
        {"button", [](ProgramRig& rig) { rig.form->cmdExit_Click(); }},
        {"tray menu",
         [](ProgramRig& rig) {
             rig.view.pickExitInPopup = true;
             rig.TrayEvent(0x205);
             rig.view.pickExitInPopup = false;
         }},
        {"close box", [](ProgramRig& rig) { rig.form->CloseBox_Click(); }},
    };
    struct Case {
        bool unsaved;
        int answer;
    };
    for (const auto& path : paths) {
        for (const Case c : {Case{false, vbYes}, Case{true, vbYes}, Case{true, vbNo}}) {
            SCOPED_TRACE(::testing::Message()
                         << path.name << ", unsaved " << c.unsaved << ", answer " << c.answer);
            ProgramRig rig;
            rig.LoadIntoTray();
            if (c.unsaved) {
                ScratchFolder::WriteFile(rig.CapturePath(), "12345678");
                rig.state.UnsavedData = true;
            }
            rig.view.UserSetWindowState(WindowState::Normal);
            rig.toolkit.QueueAnswer(c.answer);
            path.choose(rig);

            const bool stays = c.answer == vbNo;
            ASSERT_EQ(rig.toolkit.messageBoxes.size(), c.unsaved ? 1U : 0U);
            if (c.unsaved) {
                EXPECT_EQ(rig.toolkit.messageBoxes[0].prompt,
                          "Downloaded data exists that has not been saved.\r\n\r\n"
                          "Are you sure you wish to exit?");
                EXPECT_EQ(rig.toolkit.messageBoxes[0].style, 36 + 256);  // No is the default
                EXPECT_EQ(ScratchFolder::ReadFile(rig.CapturePath()), "12345678");  // kept
            }
            EXPECT_EQ(rig.view.destroyed, !stays);
            EXPECT_EQ(rig.form->Unloaded(), !stays);
            EXPECT_EQ(rig.CountTray(NIM_DELETE), stays ? 0 : 1);
            EXPECT_EQ(rig.view.visible && rig.view.state == WindowState::Normal, stays);
            // A window that is gone is never used again, whatever the backend still sends.
            rig.form->Form_Resize();
            EXPECT_FALSE(rig.view.FireTimer());  // stopped: shown with data waiting, or gone
            rig.form->tmr_Timer();
            rig.TrayEvent(0x202);
            EXPECT_EQ(rig.view.usesAfterDestroy, 0);
        }
    }
}

TEST(MainWindowCommands, AboutOpensOverTheWindow) {
    ProgramRig rig;
    rig.LoadIntoTray();
    rig.form->mnuHelpAbout_Click();
    ASSERT_EQ(rig.forms.aboutForms.size(), 1U);
    EXPECT_TRUE(rig.forms.aboutForms[0]->shown);
    EXPECT_EQ(rig.forms.aboutForms[0]->owner, rig.view.GetHandle());
}

}  // namespace
}  // namespace vr::test
