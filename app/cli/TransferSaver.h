#pragma once

// Where `watch` saves each transfer: a new CSV file in a folder, named after the moment the
// transfer ended, or the end of one CSV file. Every save is the Save command's own (journal,
// sync, and a new file written beside its name under a hidden one, then renamed into place),
// so a sync client or another program never sees a CSV file half written under its name.

#include <ctime>
#include <ostream>
#include <string>

#include "ConsoleForms.h"
#include "ConsoleWindow.h"
#include "shared/FileSystem.h"

namespace vr::cli {

// The forms and window of a save that nobody watches: what it says on its way (its progress) is
// not for the user of an unattended tool, and once begun it runs to its end when the user
// interrupts the tool.
struct QuietSave {
    std::ostream discard{nullptr};
    ConsoleForms forms{discard};
    ConsoleWindow window{false};
};

class TransferSaver {
public:
    // Each transfer into a new file in `folder` (an existing folder), or, with `appendTo`, onto
    // the end of that one file.
    TransferSaver(FileSystem& files, std::string capture, std::string folder, bool appendTo);

    // "verada-YYYY-MM-DD_HH-MM-SS.csv" for the local time `end`; from the second attempt on,
    // "-2", "-3", ... before ".csv".
    static std::string FileName(const std::tm& end, int attempt);

    // Saves the capture file's data and then deletes the capture file. A new file takes the first
    // name for `end` that no file holds, also when a file takes a name while it is written, and
    // never replaces one; appending writes the header only into a file it makes. Returns the file
    // written. Throws FileError when the data could not be saved: the capture file is then kept
    // as it was, and no file holds a part of it under its name.
    std::string Save(std::time_t end);

    // The local time of `moment`.
    static std::tm LocalTime(std::time_t moment);

private:
    std::string SaveIntoFolder(std::time_t end);
    std::string AppendToFile();

    FileSystem& files_;
    const std::string capture_;
    const std::string place_;
    const bool appendTo_;
};

}  // namespace vr::cli
