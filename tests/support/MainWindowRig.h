#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "headless/HeadlessMainWindow.h"
#include "headless/HeadlessToolkit.h"
#include "mainwindow/frmMain.h"
#include "shared/ProgramState.h"
#include "support/StubAdapter.h"
#include "support/TestFileSystem.h"

namespace vr::test {

// The main window with a headless screen, real files in a scratch folder and scripted adapters.
// The view's hooks reach the form's handlers as the Qt and Win32 backends wire them.
struct MainWindowRig : ScratchFiles {
    MainWindowRig();

    headless::HeadlessMainWindow view;
    headless::HeadlessToolkit toolkit;
    ProgramState state;
    std::vector<std::string> log;  // adapter calls and reception steps, in order
    StubAdapters adapters{log};
    int aboutBoxes = 0;
    bool saveBusy = false;         // what the save command reports while it writes
    std::function<void()> onSave;  // what the save command does
    frmMain form;

    std::string CapturePath() const { return scratch.Path(kCaptureFileName); }
    std::string IconKey() const { return toolkit.KeyOfIcon(view.icon); }
    int CountTray(std::uint32_t message) const;
    // A tray event as the shell reports it: a mouse move whose x is the message number.
    void TrayEvent(int message) { form.Form_MouseMove(0, 0, static_cast<float>(message), 0); }
    // Polls once per reception of `reports` reports while the adapter is present.
    void ReceiveOnRead(int reports);
    // Load and one tick, finding the adapter absent: in the tray, polling.
    void LoadIntoTray();
};

}  // namespace vr::test
