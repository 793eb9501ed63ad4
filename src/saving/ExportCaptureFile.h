#pragma once

#include <optional>
#include <string>

#include "saving/SaveJournal.h"
#include "shared/FileSystem.h"
#include "shared/MainWindowLink.h"
#include "shared/Toolkit.h"

namespace vr {

// The first line of a CSV file that is started afresh.
inline constexpr const char* kCsvHeader = "Zorvik Technologies Verada logfile\r\n";

enum class ExportOutcome {
    Completed,       // the target is written and the capture file deleted
    StoppedForExit,  // the user left the program meanwhile; the target is as it was before
};

// Writes the capture file `source` into the CSV file `target`: a header line and the data for a
// new or overwritten file (`append` false), or the data after the target's last byte (`append`
// true); the bytes 0x00 and 0xFF are filler and are left out. Shows frmProgress, owned by the
// main window, while it works, and deletes the capture file (unless `deleteCapture` is false)
// once the target is on the disk.
//
// The target holds its old content or the complete new one at every moment: new content is
// written beside it and renamed over it; an append goes after the end with a journal that lets
// the next start undo it (SaveJournal). A target that is the capture file itself, however its
// path is spelt, is refused before anything changes.
//
// A failure throws FileError naming the file and the cause, after the target has been put back
// (only files this save created are removed). The capture file is then left as it was.
ExportOutcome ExportCaptureFile(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                                const std::string& source, const std::string& target, bool append,
                                bool deleteCapture = true);

// As ExportCaptureFile with `append` false, but only into a name that no file holds: a file found
// there, or one that takes the name before the new file is renamed into place, stays as it is,
// and the save throws FileError(target, kNameTakenMeanwhile) with nothing changed.
ExportOutcome ExportCaptureFileAsNew(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                                     const std::string& source, const std::string& target);

// After the save `finished`, cut short, was finished: true when it was the save now asked for
// (the same target file, the same mode); the capture file then goes as the present save says
// (`deleteCapture`), and nothing is left to write.
bool FinishedAsAsked(FileSystem& files, SaveJournal finished, const std::string& target,
                     bool append, bool deleteCapture);

// How a save cut short by a crash was settled.
struct InterruptedSave {
    std::string note;  // for the user; "" when there was nothing to settle or ignore
    std::optional<SaveJournal> completed;  // the save, when it is finished now
    bool dataKept = false;  // not finished, and the capture file holds data no save holds
    // The target, when another program changed it since and it was left alone: saving there
    // again as it was asked would write the data twice or over someone else's file.
    std::optional<std::string> targetChanged;
};

// Settles the save of the capture file `capture` that its journal shows was cut short, before
// anything else uses the capture file; the caller holds the capture's lock. A save marked written
// is finished. A save still writing whose capture file is intact and whose target is as the save
// found it is undone and then run again, to the same target in the same mode, so the data the
// user asked to save is saved once. Otherwise (the capture file is gone or another one, another
// program replaced, cut or wrote into the target, the target cannot be written now) it is only
// undone, and whatever capture file is left is kept. `deleteCapture`, when given, is the present
// command's choice and takes the place of the interrupted save's. Throws FileError when the
// target cannot be put right; the journal then stays for the next attempt.
InterruptedSave FinishInterruptedSave(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                                      const std::string& capture,
                                      std::optional<bool> deleteCapture = std::nullopt);

}  // namespace vr
