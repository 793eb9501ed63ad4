#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shared/FileSystem.h"

namespace vr {

// What a save is doing, written to the journal of its capture file and flushed to the disk before
// the save changes anything, so that a save cut short (a crash, a kill, a power cut) is finished
// or undone by the next start instead of leaving a half-written or doubled CSV file.
//
// The journal lives in the user's journal folder, where nobody else can place one, and is only
// obeyed when it is the user's own private file that names this capture file, and then only as
// far as the files it names are still the ones the save found: the replacement only ever by the
// name made for the target, the target only while it is the same file with the length recorded.
//
// A save that writes a file afresh (new, overwrite, or append to a file not there yet) writes a
// replacement beside the target and, once it is on the disk and the journal says so, renames it
// over the target: undoing means removing the replacement, finishing means renaming it; the
// target never holds anything in between. A save that appends records the target's identity and
// length first: undoing means cutting the target back to that length, but only when everything
// after it is data of this save; when another program has appended lines meanwhile, nothing of
// the target is cut (their lines matter more than a doubled part of ours) and the user is told.
// Once the data is on the disk the journal says so, and finishing means deleting the capture
// file (when the save was to) and then the journal.
struct SaveJournal {
    enum class Mode { Replace, Append };
    enum class Phase { Writing, Written };

    std::string capture;  // absolute paths, as FileSystem::AbsolutePath gives them
    std::string target;
    Mode mode = Mode::Replace;
    Phase phase = Phase::Writing;
    bool deleteCapture = true;
    bool header = true;                // the new content starts with the CSV header line
    bool overwrite = false;            // Replace: the target existed and its file is replaced
    std::string replacement;           // Replace: the file written before it takes the place
    FileIdentity identity;             // the target as the save found it (Append, or overwrite)
    FileIdentity replacementIdentity;  // Replace, once written: the complete replacement
    FileIdentity captureIdentity;      // the capture file saved, and its length: only that
    std::uint64_t captureLength = 0;   // file, not a later one of the same name, is deleted
    std::uint64_t lengthBefore = 0;    // Append: the target's length before the save

    // Where the journal of the capture file `capture` is kept. Throws FileError when there is no
    // journal folder or the capture's absolute path is not known.
    static std::string PathFor(FileSystem& files, const std::string& capture);

    // Replaces the journal on the disk in one step. Throws FileError.
    void Write(FileSystem& files) const;
};

// The journal of the capture file `capture`, when there is one that may be obeyed. A journal
// whose writing was cut short before it took its place is removed: the caller holds the lock.
struct JournalFound {
    std::optional<SaveJournal> journal;
    std::string ignored;  // one sentence for the user when a file there was not obeyed
};
JournalFound ReadSaveJournal(FileSystem& files, const std::string& capture);

// How settling a save that was cut short went.
struct Settlement {
    std::string note;            // for the user; "" when there was nothing to settle
    bool finished = false;       // the target holds the saved data
    bool targetChanged = false;  // another program changed the target: it was left alone
};

// Finishes (marked written) or undoes (still writing) the save `journal` describes and removes
// the journal. Throws FileError when the target cannot be put right; the journal is then kept
// for the next attempt.
Settlement SettleSave(FileSystem& files, const SaveJournal& journal);

// Prepares the interrupted save `journal` (still writing) to be run again from its start: when
// its capture file is still the one it saved (same file, same length) and its target is as the
// save found it with nothing but this save's data written into it, undoes what it wrote (removes
// the replacement, or cuts an append back) and returns "". Otherwise returns why it cannot run
// again, changing nothing. The journal stays, so that a crash before the save runs again finds
// it again.
std::string UndoForRetry(FileSystem& files, const SaveJournal& journal);

// Puts the complete replacement of `journal` in the target's place, when the target is still as
// the save found it (another program's file that took its place is never replaced). Throws
// FileError naming the target otherwise, changing nothing.
void CommitReplacement(FileSystem& files, const SaveJournal& journal);

// Settles a save of the capture file `capture` that was cut short, when its journal is there,
// without running it again. Returns the note for the user ("" when there was nothing to settle
// or ignore); throws as SettleSave.
std::string RecoverInterruptedSave(FileSystem& files, const std::string& capture);

// Deletes the file at `path` when there is one there.
void DeleteIfThere(FileSystem& files, const std::string& path);

}  // namespace vr
