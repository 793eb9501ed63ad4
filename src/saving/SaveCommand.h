#pragma once

#include "shared/FileSystem.h"
#include "shared/MainWindowLink.h"
#include "shared/ProgramState.h"
#include "shared/Toolkit.h"

namespace vr {

class FileError;

// The main window's Save command: asks for a CSV file, asks whether an existing one is to be
// appended to or overwritten, writes it from the capture file, and sends the window back to the
// tray with polling resumed.
//
// A failure to write is reported here, in a message box that names the file and the cause; the
// capture file and UnsavedData are kept and the window stays shown, so the user can choose
// another place. Nothing of a failed save is left in the target.
class SaveCommand {
public:
    SaveCommand(Toolkit& toolkit, FormFactory& forms, FileSystem& files, ProgramState& state,
                MainWindowLink& window)
        : toolkit_(toolkit), forms_(forms), files_(files), state_(state), window_(window) {}

    void cmdSave_Click();

    // At the start, before the capture file is used: finishes a save that a crash cut short (see
    // FinishInterruptedSave). Returns true when the capture file holds data of a save that could
    // not be finished: UnsavedData is then set, the window shown and the user told once, so the
    // data waits for Save like a new download.
    bool SettleInterruptedSave();

    // True while a save is under way (from the save dialog to the end of the export). The
    // window's own handlers run inside the export's yields: while this is true they must defer
    // minimising and leaving the program, and Save itself is refused.
    bool Busy() const { return busy_; }

    // The choice for an existing target: true to append, false to overwrite. Kept between saves.
    bool AppendToFile = false;
    // The user left frmAppend without choosing Append or Overwrite.
    bool SaveCancelled = false;

private:
    enum class Outcome { NothingChosen, Cancelled, Failed, StoppedForExit, Saved };

    Outcome Save();
    Outcome Export(const std::string& path);
    void ReportFailure(const FileError& error);
    void ResumeTimer();

    Toolkit& toolkit_;
    FormFactory& forms_;
    FileSystem& files_;
    ProgramState& state_;
    MainWindowLink& window_;
    bool busy_ = false;
};

}  // namespace vr
