#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "headless/HeadlessMainWindow.h"
#include "headless/HeadlessToolkit.h"
#include "mainwindow/frmMain.h"
#include "platform/fake/FakeHidPlatform.h"
#include "shared/ProgramState.h"
#include "support/TestFileSystem.h"

namespace vr::test {

// The main window with a headless screen, real files in a scratch folder, and a real adapter
// link for each poll on the scripted HID platform, where no adapter is plugged in until a test
// plugs one in. The view's hooks reach the form's handlers as the Qt and Win32 backends wire them.
struct MainWindowRig : ScratchFiles {
    MainWindowRig();

    FakeHidPlatform hid;
    headless::HeadlessMainWindow view;
    headless::HeadlessToolkit toolkit;
    ProgramState state;
    int aboutBoxes = 0;
    bool saveBusy = false;         // what the save command reports while it writes
    std::function<void()> onSave;  // what the save command does
    frmMain form;

    std::string CapturePath() const { return scratch.Path(kCaptureFileName); }
    std::string IconKey() const { return toolkit.KeyOfIcon(view.icon); }
    int CountTray(std::uint32_t message) const;
    // Searches for the adapter so far: one for each poll.
    int Polls() const { return hid.Count("SetupDiGetClassDevsA"); }
    // A tray event as the shell reports it: a mouse move whose x is the message number.
    void TrayEvent(int message) { form.Form_MouseMove(0, 0, static_cast<float>(message), 0); }
    // Plugs the adapter in; the next reception receives `reports` reports, then silence.
    void PlugIn(int reports = 0);
    // Load and one tick: in the tray, polling.
    void LoadIntoTray();
};

}  // namespace vr::test
