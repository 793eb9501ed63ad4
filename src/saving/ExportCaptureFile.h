#pragma once

#include <string>

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

}  // namespace vr
