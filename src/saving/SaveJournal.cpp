#include "saving/SaveJournal.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "saving/KeepDataBytes.h"
#include "shared/CapturePaths.h"
#include "shared/Errors.h"

namespace vr {
namespace {

constexpr const char* kJournalMagic = "verada-rede save journal 2";
// A journal holds three paths and a few numbers: anything longer is not one of ours.
constexpr std::size_t kJournalLimit = std::size_t{64} * 1024;
constexpr std::size_t kCompareBlock = std::size_t{64} * 1024;

// Paths are stored with their length first, so that any byte may occur in them.
void PutText(std::ostringstream& out, const char* key, const std::string& text) {
    out << key << ' ' << text.size() << '\n' << text << '\n';
}

bool GetText(std::istringstream& in, const char* key, std::string& text) {
    std::string name;
    std::size_t size = 0;
    if (!(in >> name >> size) || name != key || size > kJournalLimit || in.get() != '\n') {
        return false;
    }
    text.resize(size);
    return static_cast<bool>(in.read(text.data(), static_cast<std::streamsize>(size))) &&
           in.get() == '\n';
}

void PutIdentity(std::ostringstream& out, const char* key, const FileIdentity& identity) {
    out << key << ' ' << identity.volume << ' ' << identity.index << '\n';
}

bool GetIdentity(std::istringstream& in, const char* key, FileIdentity& identity) {
    std::string name;
    return (in >> name >> identity.volume >> identity.index) && name == key;
}

bool GetFlag(std::istringstream& in, const char* key, bool& flag) {
    std::string name;
    int value = 0;
    if (!(in >> name >> value) || name != key || (value != 0 && value != 1)) {
        return false;
    }
    flag = value == 1;
    return true;
}

std::string Serialize(const SaveJournal& journal) {
    std::ostringstream out;
    out << kJournalMagic << '\n'
        << "mode " << (journal.mode == SaveJournal::Mode::Append ? "append" : "replace") << '\n'
        << "phase " << (journal.phase == SaveJournal::Phase::Written ? "written" : "writing")
        << '\n'
        << "delete-capture " << (journal.deleteCapture ? 1 : 0) << '\n'
        << "header " << (journal.header ? 1 : 0) << '\n'
        << "overwrite " << (journal.overwrite ? 1 : 0) << '\n';
    PutIdentity(out, "identity", journal.identity);
    PutIdentity(out, "replacement-identity", journal.replacementIdentity);
    out << "length " << journal.lengthBefore << '\n';
    PutIdentity(out, "capture", journal.captureIdentity);
    out << "capture-length " << journal.captureLength << '\n';
    PutText(out, "capture-path", journal.capture);
    PutText(out, "target", journal.target);
    PutText(out, "replacement", journal.replacement);
    return out.str();
}

std::optional<SaveJournal> Parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    std::string key[4];
    std::string mode;
    std::string phase;
    SaveJournal journal;
    if (!std::getline(in, line) || line != kJournalMagic || !(in >> key[0] >> mode) ||
        !(in >> key[1] >> phase) || key[0] != "mode" || key[1] != "phase" ||
        !GetFlag(in, "delete-capture", journal.deleteCapture) ||
        !GetFlag(in, "header", journal.header) || !GetFlag(in, "overwrite", journal.overwrite) ||
        !GetIdentity(in, "identity", journal.identity) ||
        !GetIdentity(in, "replacement-identity", journal.replacementIdentity) ||
        !(in >> key[2] >> journal.lengthBefore) || key[2] != "length" ||
        !GetIdentity(in, "capture", journal.captureIdentity) ||
        !(in >> key[3] >> journal.captureLength) || key[3] != "capture-length" ||
        in.get() != '\n' || !GetText(in, "capture-path", journal.capture) ||
        !GetText(in, "target", journal.target) ||
        !GetText(in, "replacement", journal.replacement)) {
        return std::nullopt;
    }
    if ((mode != "append" && mode != "replace") || (phase != "writing" && phase != "written")) {
        return std::nullopt;
    }
    journal.mode = mode == "append" ? SaveJournal::Mode::Append : SaveJournal::Mode::Replace;
    journal.phase = phase == "written" ? SaveJournal::Phase::Written : SaveJournal::Phase::Writing;
    return journal;
}

// Reads exactly `size` bytes unless the file ends first; returns how many it read.
std::size_t ReadFully(InputFile& file, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t got = file.Read(data + done, size - done);
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

std::uint64_t LengthOf(FileSystem& files, const std::string& path) {
    return files.OpenForReading(path)->Length();
}

// Whether the file found now is the one the journal recorded. Only its index on its volume is
// compared: the number of the volume itself can change from one start of the system to the next
// (a USB stick or a device-mapper volume set up in another order after a power cut). The checks
// of names and content that go with each comparison keep a look-alike elsewhere from counting.
bool Recorded(const std::optional<FileIdentity>& now, const FileIdentity& recorded) {
    return now && now->index == recorded.index;
}

// The capture file is there and is the one the save read, at the length it had.
bool CaptureIntact(FileSystem& files, const SaveJournal& journal) {
    return Recorded(files.Identify(journal.capture), journal.captureIdentity) &&
           LengthOf(files, journal.capture) == journal.captureLength;
}

// True when every byte of the target after `journal.lengthBefore` is the capture's data in its
// order (all of it or a first part): then only this save wrote there. A zero byte counts as one
// of the data's: the data never holds one, and zeros are what a power cut leaves where the file
// had grown but its data had not reached the disk, or where a cut-back had begun.
bool OnlyOurDataAfter(FileSystem& files, const SaveJournal& journal, std::uint64_t length) {
    auto tail = files.OpenForReading(journal.target);
    tail->Seek(journal.lengthBefore);
    auto capture = files.OpenForReading(journal.capture);
    std::vector<std::uint8_t> block(kCompareBlock);
    std::vector<std::uint8_t> data(kCompareBlock + 8);
    std::vector<std::uint8_t> written(kCompareBlock);
    std::uint64_t left = length - journal.lengthBefore;
    while (left > 0) {
        const std::size_t got = capture->Read(block.data(), block.size());
        if (got == 0) {
            return false;  // more after the old end than the whole capture gives
        }
        const std::size_t kept = KeepDataBytes(block.data(), got, data.data());
        const std::size_t compare = static_cast<std::size_t>(std::min<std::uint64_t>(kept, left));
        if (ReadFully(*tail, written.data(), compare) != compare ||
            !std::equal(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(compare),
                        written.begin(), [](std::uint8_t ours, std::uint8_t found) {
                            return found == ours || found == 0;
                        })) {
            return false;
        }
        left -= compare;
    }
    return true;
}

std::string Quoted(const SaveJournal& journal) {
    return "An interrupted save into \"" + journal.target + "\"";
}

// Cuts the target of an append back to its length before the save when only this save wrote
// after it. Returns "" when the target is as it was before the save (cut back, or nothing was
// written yet), else why nothing of it was changed.
std::string UndoAppend(FileSystem& files, const SaveJournal& journal) {
    if (!Recorded(files.Identify(journal.target), journal.identity)) {
        return "the file was replaced or removed since, so nothing in it was changed";
    }
    const std::uint64_t length = LengthOf(files, journal.target);
    if (length < journal.lengthBefore) {
        return "the file was cut shorter since, so nothing in it was changed";
    }
    if (length == journal.lengthBefore) {
        return "";
    }
    if (!files.Identify(journal.capture) || !OnlyOurDataAfter(files, journal, length)) {
        return "something else was written after its data. Check the end of the file before "
               "saving into it again";
    }
    auto output = files.OpenTarget(journal.target);
    output->Truncate(journal.lengthBefore);
    output->Sync();
    output->Close();
    return "";
}

// The target is the file the save found there, or still absent for a new file.
bool TargetAsFound(FileSystem& files, const SaveJournal& journal) {
    const auto now = files.Identify(journal.target);
    return journal.overwrite ? Recorded(now, journal.identity) : !now.has_value();
}

// Whether the journal's paths are those a save of `capture` writes: anything else was not
// written by this program and is not acted on.
bool NamesOnlyItsOwnFiles(const SaveJournal& journal, const std::string& capture) {
    return journal.capture == capture && !journal.target.empty() &&
           (journal.replacement.empty() ? journal.mode == SaveJournal::Mode::Append
                                        : IsReplacementFor(journal.replacement, journal.target));
}

}  // namespace

void DeleteIfThere(FileSystem& files, const std::string& path) {
    if (files.Identify(path)) {
        files.DeleteFile(path);
    }
}

std::string SaveJournal::PathFor(FileSystem& files, const std::string& capture) {
    return CaptureStatePath(files, capture, ".journal");
}

void SaveJournal::Write(FileSystem& files) const {
    const std::string path = PathFor(files, capture);
    try {
        files.WritePrivateFile(path, Serialize(*this));
    } catch (const FileError& e) {
        throw FileError(e.path(), "the save journal cannot be written (" + e.cause() + ")");
    }
}

void CommitReplacement(FileSystem& files, const SaveJournal& journal) {
    if (!TargetAsFound(files, journal)) {
        throw FileError(journal.target,
                        journal.overwrite
                            ? "another program replaced or removed this file while the data was "
                              "being saved; it was left as it is"
                            : kNameTakenMeanwhile);
    }
    files.CommitReplacement(journal.replacement, journal.target, journal.overwrite);
}

Settlement SettleSave(FileSystem& files, const SaveJournal& journal) {
    Settlement result;
    if (journal.phase == SaveJournal::Phase::Written) {
        // A replacement still beside the target is complete and on the disk: it takes its place,
        // unless another program changed the target meanwhile.
        const auto replacement = journal.mode == SaveJournal::Mode::Replace
                                     ? files.Identify(journal.replacement)
                                     : std::nullopt;
        result.targetChanged = replacement.has_value() && !TargetAsFound(files, journal);
        const bool ours = Recorded(replacement, journal.replacementIdentity);
        if (replacement && (!ours || result.targetChanged)) {
            if (ours) {
                files.DeleteFile(journal.replacement);
            }
            result.note = Quoted(journal) +
                          " was not completed: another program changed the file meanwhile, and "
                          "it was left as it is.";
        } else {
            if (replacement) {
                files.CommitReplacement(journal.replacement, journal.target, journal.overwrite);
            }
            if (journal.deleteCapture && CaptureIntact(files, journal)) {
                files.DeleteFile(journal.capture);
            }
            result.finished = true;
            result.note = Quoted(journal) + " was completed.";
        }
    } else if (journal.mode == SaveJournal::Mode::Replace) {
        // The replacement was created by this save (exclusively, under a name nobody could know
        // in advance): it is the only file removed. The target was never touched.
        DeleteIfThere(files, journal.replacement);
        result.targetChanged = !TargetAsFound(files, journal);
        result.note = Quoted(journal) + " was cleaned up; the downloaded data is kept.";
    } else {
        const std::string why = UndoAppend(files, journal);
        result.targetChanged = !why.empty();
        result.note = Quoted(journal) + (why.empty() ? " was undone; the file is as it was."
                                                     : " was not undone: " + why + ".");
    }
    DeleteIfThere(files, SaveJournal::PathFor(files, journal.capture));
    return result;
}

std::string UndoForRetry(FileSystem& files, const SaveJournal& journal) {
    if (journal.phase == SaveJournal::Phase::Written || !CaptureIntact(files, journal)) {
        return "its capture file is not the one it was saving";
    }
    if (journal.mode == SaveJournal::Mode::Append) {
        return UndoAppend(files, journal);
    }
    if (!TargetAsFound(files, journal)) {
        return "another program changed the file meanwhile";
    }
    DeleteIfThere(files, journal.replacement);
    return "";
}

JournalFound ReadSaveJournal(FileSystem& files, const std::string& capture) {
    JournalFound found;
    const std::string absolute = files.AbsolutePath(capture);
    const std::string path = SaveJournal::PathFor(files, capture);
    DeleteIfThere(files, DraftOf(path));
    if (!files.Identify(path)) {
        return found;
    }
    std::string text;
    try {
        auto input = files.OpenPrivateFile(path);
        text.resize(kJournalLimit + 1);
        text.resize(ReadFully(*input, reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
    } catch (const FileError& e) {
        found.ignored = "The save journal \"" + path + "\" was ignored: " + e.cause() + ".";
        return found;
    }
    auto journal = text.size() <= kJournalLimit ? Parse(text) : std::nullopt;
    if (!journal || !NamesOnlyItsOwnFiles(*journal, absolute)) {
        found.ignored = "The save journal \"" + path +
                        "\" was ignored: it is not a journal of a save of \"" + capture + "\".";
        return found;
    }
    found.journal = std::move(journal);
    return found;
}

std::string RecoverInterruptedSave(FileSystem& files, const std::string& capture) {
    const JournalFound found = ReadSaveJournal(files, capture);
    return found.journal ? SettleSave(files, *found.journal).note : found.ignored;
}

}  // namespace vr
