#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mainwindow/Program.h"
#include "platform/fake/FakeHidPlatform.h"
#include "platform/headless/HeadlessForms.h"
#include "platform/headless/HeadlessMainWindow.h"
#include "platform/headless/HeadlessToolkit.h"
#include "support/TestFileSystem.h"

namespace vr::test {

// The whole program as the desktop composition wires it, on the headless toolkit, a HID
// platform (by default the scripted one, where no adapter is plugged in until a test plugs one
// in), and real files in a scratch folder. The view's hooks reach the main window's handlers as
// the Qt and Win32 backends wire them.
struct ProgramRig : ScratchFiles {
    ProgramRig();
    ProgramRig(HidPlatform& hidPlatform, PriorityPlatform& priority);
    ProgramRig(const ProgramRig&) = delete;
    ProgramRig& operator=(const ProgramRig&) = delete;

    FakeHidPlatform hid;
    headless::HeadlessMainWindow view;
    headless::HeadlessToolkit toolkit;
    headless::HeadlessForms forms;

private:
    Program program_;

public:
    ProgramState& state = program_.State();
    frmMain* const form = &program_.Main();
    SaveCommand* const save = &program_.Save();
    long polls = 0;  // ticks of the polling timer

    std::string CapturePath() const { return scratch.Path(kCaptureFileName); }
    std::string IconKey() const { return toolkit.KeyOfIcon(view.icon); }
    int CountTray(std::uint32_t message) const;
    // Searches for the adapter so far: one for each poll.
    int Polls() const { return hid.Count("SetupDiGetClassDevsA"); }
    // A tray event as the shell reports it: a mouse move whose x is the message number.
    void TrayEvent(int message) { form->Form_MouseMove(0, 0, static_cast<float>(message), 0); }
    // Plugs the adapter in; the next reception receives `reports` reports, then silence.
    void PlugIn(int reports = 0);
    // Load into the tray; true when the window is hidden and the timer runs.
    bool Load();
    // Load and one tick: in the tray, polling.
    void LoadIntoTray() {
        Load();
        Tick();
    }
    // One tick of the polling timer; false when the timer was not running.
    bool Tick() {
        const bool fired = view.FireTimer();
        polls += fired ? 1 : 0;
        return fired;
    }
    // Clicks Save and picks `target` in the dialog (and `answer` if it asks about appending).
    void Save(const std::string& target,
              headless::AppendAnswer answer = headless::AppendAnswer::Append);

private:
    ProgramRig(HidPlatform* hidPlatform, PriorityPlatform* priority);
};

}  // namespace vr::test
