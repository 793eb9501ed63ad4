#pragma once

#include <memory>

#include "about/frmAbout.h"
#include "adapter/HidPlatform.h"
#include "mainwindow/frmMain.h"
#include "saving/SaveCommand.h"
#include "shared/FileSystem.h"
#include "shared/ProgramState.h"
#include "shared/Toolkit.h"

namespace vr {

// What the program runs on besides the window toolkit.
struct ProgramPlatform {
    HidPlatform& hid;
    PriorityPlatform& priority;
    FileSystem& files;
};

// The whole program on one toolkit: the main window with a fresh adapter link for each poll, the
// Save command and the About box, sharing one program state. Each platform wires its main window's
// events to Main() and starts it with Main().Form_Load().
class Program {
public:
    Program(ProgramPlatform platform, MainWindowView& window, Toolkit& toolkit, FormFactory& forms);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    frmMain& Main() { return *main_; }
    SaveCommand& Save() { return *save_; }
    ProgramState& State() { return state_; }

private:
    ProgramPlatform platform_;
    ProgramState state_;
    frmAbout about_;
    std::unique_ptr<frmMain> main_;
    std::unique_ptr<SaveCommand> save_;
};

}  // namespace vr
