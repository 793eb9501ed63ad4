#include "saving/SaveJournal.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "saving/KeepDataBytes.h"
#include "shared/Errors.h"

namespace vr {
namespace {

constexpr const char* kJournalMagic = "verada-rede save journal 1";
// A journal holds two paths and a few numbers: anything longer is not one of ours.
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

std::string Serialize(const SaveJournal& journal) {
    std::ostringstream out;
    out << kJournalMagic << '\n'
        << "mode " << (journal.mode == SaveJournal::Mode::Append ? "append" : "replace") << '\n'
        << "phase " << (journal.phase == SaveJournal::Phase::Written ? "written" : "writing")
        << '\n'
        << "delete-capture " << (journal.deleteCapture ? 1 : 0) << '\n'
        << "overwrite " << (journal.overwrite ? 1 : 0) << '\n'
        << "identity " << journal.identity.volume << ' ' << journal.identity.index << '\n'
        << "length " << journal.lengthBefore << '\n'
        << "capture " << journal.captureIdentity.volume << ' ' << journal.captureIdentity.index
        << ' ' << journal.captureLength << '\n';
    PutText(out, "target", journal.target);
    PutText(out, "replacement", journal.replacement);
    return out.str();
}

std::optional<SaveJournal> Parse(const std::string& text, const std::string& capture) {
    std::istringstream in(text);
    std::string line;
    std::string mode;
    std::string phase;
    std::string key[6];
    int deleteCapture = 0;
    int overwrite = 0;
    SaveJournal journal;
    journal.capture = capture;
    if (!std::getline(in, line) || line != kJournalMagic ||
        !(in >> key[0] >> mode >> key[1] >> phase >> key[2] >> deleteCapture >> key[5] >>
          overwrite >> key[3] >> journal.identity.volume >> journal.identity.index >> line >>
          journal.lengthBefore >> key[4] >> journal.captureIdentity.volume >>
          journal.captureIdentity.index >> journal.captureLength) ||
        key[0] != "mode" || key[1] != "phase" || key[2] != "delete-capture" ||
        key[5] != "overwrite" || key[3] != "identity" || line != "length" || key[4] != "capture" ||
        in.get() != '\n' || !GetText(in, "target", journal.target) ||
        !GetText(in, "replacement", journal.replacement)) {
        return std::nullopt;
    }
    if ((mode != "append" && mode != "replace") || (phase != "writing" && phase != "written")) {
        return std::nullopt;
    }
    journal.mode = mode == "append" ? SaveJournal::Mode::Append : SaveJournal::Mode::Replace;
    journal.phase = phase == "written" ? SaveJournal::Phase::Written : SaveJournal::Phase::Writing;
    journal.deleteCapture = deleteCapture != 0;
    journal.overwrite = overwrite != 0;
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

// True when every byte of the target after `journal.lengthBefore` is the capture's data in its
// order (all of it or a first part): then only this save wrote there.
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
                        written.begin())) {
            return false;
        }
        left -= compare;
    }
    return true;
}

enum class AppendUndo { Nothing, Cut, Foreign };

// Cuts the target back to its length before the append when only this save wrote after it.
AppendUndo UndoAppend(FileSystem& files, const SaveJournal& journal) {
    const auto identity = files.Identify(journal.target);
    if (!identity || !(*identity == journal.identity)) {
        return AppendUndo::Nothing;  // removed or replaced since: nothing of ours is in it
    }
    std::uint64_t length = 0;
    {
        auto input = files.OpenForReading(journal.target);
        length = input->Length();
    }
    if (length <= journal.lengthBefore) {
        return AppendUndo::Nothing;
    }
    if (!files.Identify(journal.capture) || !OnlyOurDataAfter(files, journal, length)) {
        return AppendUndo::Foreign;
    }
    auto output = files.OpenTarget(journal.target);
    output->Truncate(journal.lengthBefore);
    output->Sync();
    output->Close();
    return AppendUndo::Cut;
}

}  // namespace

void DeleteIfThere(FileSystem& files, const std::string& path) {
    if (files.Identify(path)) {
        files.DeleteFile(path);
    }
}

void SaveJournal::Write(FileSystem& files) const {
    const std::string path = PathFor(capture);
    const std::string text = Serialize(*this);
    try {
        // A journal cut short while it was written is no one's file but this program's.
        DeleteIfThere(files, files.ReplacementPath(path));
        auto output = files.CreateReplacement(path);
        output->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        output->Sync();
        output->Close();
        files.CommitReplacement(path, true);
    } catch (const FileError& e) {
        try {
            DeleteIfThere(files, files.ReplacementPath(path));
        } catch (const FileError&) {  // NOLINT(bugprone-empty-catch): the first failure counts
        }
        throw FileError(e.path(), "the save journal cannot be written (" + e.cause() + ")");
    }
}

std::string SettleSave(FileSystem& files, const SaveJournal& journal) {
    std::string note;
    if (journal.phase == SaveJournal::Phase::Written) {
        // A replacement still beside the target is complete and on the disk: it takes its place.
        if (journal.mode == SaveJournal::Mode::Replace && files.Identify(journal.replacement)) {
            files.CommitReplacement(journal.target, journal.overwrite);
        }
        if (journal.deleteCapture && files.Identify(journal.capture) == journal.captureIdentity &&
            files.OpenForReading(journal.capture)->Length() == journal.captureLength) {
            files.DeleteFile(journal.capture);
        }
        note = "An interrupted save into \"" + journal.target + "\" was completed.";
    } else if (journal.mode == SaveJournal::Mode::Replace) {
        // The replacement was created by this save (exclusively): it is the only file removed.
        DeleteIfThere(files, journal.replacement);
        // Either the rename had not happened (the target is as it was) or it had (the target is
        // complete): the capture file is kept in both cases.
        note = "An interrupted save into \"" + journal.target +
               "\" was cleaned up; the downloaded data is kept.";
    } else {
        switch (UndoAppend(files, journal)) {
            case AppendUndo::Nothing:
                break;
            case AppendUndo::Cut:
                note = "An interrupted save into \"" + journal.target +
                       "\" was undone; the file is as it was.";
                break;
            case AppendUndo::Foreign:
                note = "An interrupted save into \"" + journal.target +
                       "\" was not undone: something else was written after its data. Check the "
                       "end of the file before saving into it again.";
                break;
        }
    }
    DeleteIfThere(files, SaveJournal::PathFor(journal.capture));
    return note;
}

bool UndoForRetry(FileSystem& files, const SaveJournal& journal) {
    if (journal.phase == SaveJournal::Phase::Written ||
        files.Identify(journal.capture) != journal.captureIdentity ||
        files.OpenForReading(journal.capture)->Length() != journal.captureLength) {
        return false;
    }
    if (journal.mode == SaveJournal::Mode::Replace) {
        DeleteIfThere(files, journal.replacement);
        return true;
    }
    return UndoAppend(files, journal) != AppendUndo::Foreign;
}

std::optional<SaveJournal> ReadSaveJournal(FileSystem& files, const std::string& capture) {
    const std::string path = SaveJournal::PathFor(capture);
    if (!files.Identify(path)) {
        return std::nullopt;
    }
    std::string text;
    {
        auto input = files.OpenForReading(path);
        text.resize(kJournalLimit);
        text.resize(ReadFully(*input, reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
    }
    const auto journal = Parse(text, capture);
    if (!journal) {
        throw FileError(path, "this is not a save journal of this program; remove it");
    }
    return journal;
}

std::string RecoverInterruptedSave(FileSystem& files, const std::string& capture) {
    const auto journal = ReadSaveJournal(files, capture);
    return journal ? SettleSave(files, *journal) : "";
}

}  // namespace vr
