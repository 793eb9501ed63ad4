#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shared/FileSystem.h"

namespace vr {

// What a save is doing, written to "<capture file>.journal" and flushed to the disk before the
// save changes anything, so that a save cut short (a crash, a kill, a power cut) is finished or
// undone by the next start instead of leaving a half-written or doubled CSV file.
//
// A save that writes a file afresh (new, overwrite, or append to a file not there yet) writes a
// replacement beside the target and, once it is on the disk and the journal says so, renames it
// over the target: undoing means removing the replacement, finishing means renaming it; the
// target never holds anything in between. A save that appends
// records the target's identity and length first: undoing means cutting the target back to that
// length, but only when everything after it is data of this save; when another program has
// appended lines meanwhile, nothing of the target is cut (their lines matter more than a doubled
// part of ours) and the user is told. Once the data is on the disk the journal says so, and
// finishing means deleting the capture file (when the save was to) and then the journal.
struct SaveJournal {
    enum class Mode { Replace, Append };
    enum class Phase { Writing, Written };

    std::string capture;
    std::string target;
    Mode mode = Mode::Replace;
    Phase phase = Phase::Writing;
    bool deleteCapture = true;
    bool overwrite = true;            // Replace: the replacement may take an existing file's place
    std::string replacement;          // Replace: the file written before it takes the place
    FileIdentity identity;            // Append: the target
    FileIdentity captureIdentity;     // the capture file saved, and its length: only that
    std::uint64_t captureLength = 0;  // file, not a later one of the same name, is deleted
    std::uint64_t lengthBefore = 0;   // Append: the target's length before the save

    static std::string PathFor(const std::string& capture) { return capture + ".journal"; }

    // Replaces the journal on the disk in one step. Throws FileError.
    void Write(FileSystem& files) const;
};

// Finishes or undoes the save `journal` describes and removes the journal. Returns one sentence
// for the user on what was done, or "" when there was nothing to do. Throws FileError when the
// target cannot be put right; the journal is then kept for the next attempt.
std::string SettleSave(FileSystem& files, const SaveJournal& journal);

// The journal beside the capture file `capture`, if there is one. Throws FileError when the file
// there is not a journal of this program.
std::optional<SaveJournal> ReadSaveJournal(FileSystem& files, const std::string& capture);

// Prepares the interrupted save `journal` to be run again from its start: when its capture file
// is still the one it saved (same file, same length) and nothing but this save wrote into the
// target, undoes what it wrote (removes the replacement, or cuts an append back) and returns true;
// the journal stays, so that a crash before the save runs again finds it again. Returns false,
// changing nothing, when the save was marked written or cannot be run again as it was.
bool UndoForRetry(FileSystem& files, const SaveJournal& journal);

// Settles a save of the capture file `capture` that was cut short, when its journal is there.
// Runs before anything else uses the capture file: at the start of the program and of each
// command of the command-line tool. Returns and throws as SettleSave.
std::string RecoverInterruptedSave(FileSystem& files, const std::string& capture);

// Deletes the file at `path` when there is one there.
void DeleteIfThere(FileSystem& files, const std::string& path);

}  // namespace vr
