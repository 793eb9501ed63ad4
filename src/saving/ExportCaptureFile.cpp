#include "saving/ExportCaptureFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "saving/KeepDataBytes.h"
#include "saving/SaveJournal.h"
#include "shared/CapturePaths.h"
#include "shared/Errors.h"

namespace vr {
namespace {

// The capture is copied a block at a time; the window gets its pending events after each block,
// which takes far less than a frame to read and filter.
constexpr std::size_t kBlockSize = std::size_t{64} * 1024;
// The progress moves on once per hundred reads of one byte each, counting the final read that
// finds the end of the file: a capture of N bytes gives (N + 1) / 100 steps.
constexpr std::uint64_t kReadsPerStep = 100;

std::string FirstStatus(std::uint64_t stepsTotal) {
    return "0% completed ( 0 of " + std::to_string(stepsTotal) + " )";
}

// The status texts of the copy pass. A large capture has hundreds of thousands of them, so each is
// built in place of the previous one, without allocating, from the parts that changed.
class StepStatus {
public:
    explicit StepStatus(std::uint64_t stepsTotal)
        : stepsTotal_(stepsTotal), tail_(" of " + std::to_string(stepsTotal) + ")") {}

    // "<per cent>% completed (<done> of <total>)".
    const std::string& For(std::uint64_t stepsDone) {
        // Single precision throughout, so that the per cent shown matches the established texts
        // (1 of 8 shows 13, 2 of 3 shows 67), rounded half away from zero as std::lround does.
        const float fraction = static_cast<float>(stepsDone) / static_cast<float>(stepsTotal_);
        const float percent = fraction * 100.0F;
        const long rounded = std::lround(percent);
        if (rounded != percent_ || percentDigits_.empty()) {
            percent_ = rounded;
            percentDigits_ = std::to_string(rounded) + "% completed (";
        }
        if (stepsDone == stepsDone_ + 1 && !doneDigits_.empty()) {
            Increment(doneDigits_);
        } else {
            doneDigits_ = std::to_string(stepsDone);
        }
        stepsDone_ = stepsDone;
        text_.clear();
        text_ += percentDigits_;
        text_ += doneDigits_;
        text_ += tail_;
        return text_;
    }

private:
    // Adds one to a decimal number written in digits.
    static void Increment(std::string& digits) {
        for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit) {
            if (*digit != '9') {
                ++*digit;
                return;
            }
            *digit = '0';
        }
        digits.insert(digits.begin(), '1');
    }

    std::uint64_t stepsTotal_;
    std::string tail_;
    long percent_ = 0;
    std::string percentDigits_;
    std::uint64_t stepsDone_ = 0;
    std::string doneDigits_;
    std::string text_;
};

// frmProgress for one export: loaded and shown on construction, unloaded however the export ends.
class ProgressDisplay {
public:
    ProgressDisplay(FormFactory& forms, WindowHandle owner, std::uint64_t stepsTotal)
        : view_(forms.CreateProgressForm()), stepsTotal_(stepsTotal), stepStatus_(stepsTotal) {
        view_->SetMin(0.0F);
        view_->SetMax(static_cast<float>(stepsTotal_));
        view_->SetStatus(FirstStatus(stepsTotal_));
        view_->Show(owner);
    }
    ~ProgressDisplay() { Unload(); }
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // The copy has made `readsBefore` reads and now `readsAfter`: one update for every hundred
    // completed in between, never beyond the total counted from the file's size.
    void Advance(std::uint64_t readsBefore, std::uint64_t readsAfter) {
        for (std::uint64_t step = readsBefore / kReadsPerStep + 1;
             step * kReadsPerStep <= readsAfter && step <= stepsTotal_; ++step) {
            view_->SetValue(static_cast<float>(step));
            view_->SetStatus(stepStatus_.For(step));
        }
    }

    void Finish() {
        view_->SetValue(0.0F);
        Unload();
    }

private:
    void Unload() {
        if (view_) {
            view_->Unload();
            view_.reset();
        }
    }

    std::unique_ptr<ProgressView> view_;
    std::uint64_t stepsTotal_;
    StepStatus stepStatus_;
};

// Copies the capture less its filler bytes. Returns false when the user left the program during
// one of the yields, true once the end of the capture has been reached.
bool CopyFiltered(InputFile& input, OutputFile& output, ProgressDisplay& progress,
                  MainWindowLink& window) {
    std::vector<std::uint8_t> block(kBlockSize);
    // Eight bytes to spare: the fast filter stores whole groups of eight.
    std::vector<std::uint8_t> kept(kBlockSize + 8);
    std::uint64_t reads = 0;
    for (;;) {
        const std::size_t got = input.Read(block.data(), block.size());
        const std::size_t keep = KeepDataBytes(block.data(), got, kept.data());
        if (keep > 0) {
            output.Write(kept.data(), keep);
        }
        const std::uint64_t readsAfter = reads + (got == 0 ? 1 : got);
        progress.Advance(reads, readsAfter);
        reads = readsAfter;

        window.DoEvents();
        if (window.ExitPending()) {
            return false;
        }
        if (got == 0) {
            return true;
        }
    }
}

// Ends a save that did not complete: closes what it wrote and undoes it. Returns a description
// of what could not be undone, or "".
std::string Abandon(FileSystem& files, const SaveJournal& journal,
                    std::unique_ptr<OutputFile>& output) noexcept {
    try {
        if (output) {
            output->Close();
        }
    } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): the write is undone
    }
    output.reset();
    try {
        SettleSave(files, journal);
    } catch (const std::exception& e) {
        return "; the file could not be put back as it was (" + std::string(e.what()) +
               "); this is tried again at the next start";
    }
    return "";
}

// How the target is to be written.
struct TargetMode {
    bool append = false;
    bool onlyNew = false;  // into a name no file holds, never over one
};

// What the save will do, recorded before it changes anything. Paths are absolute, so that the
// save is finished in the same place whatever the current folder of the next start; a target
// whose absolute path cannot be told is refused here, before anything changes.
SaveJournal Plan(FileSystem& files, InputFile& input, const std::string& source,
                 const std::string& target, TargetMode mode, bool deleteCapture) {
    const bool append = mode.append;
    SaveJournal journal;
    journal.capture = files.AbsolutePath(source);
    journal.target = files.AbsolutePath(target);
    journal.deleteCapture = deleteCapture;
    journal.header = !append;
    journal.captureIdentity = files.Identify(source).value_or(FileIdentity{});
    journal.captureLength = input.Length();
    // Compared as files, not as names: "./x", a doubled separator or a link all name the same.
    const auto targetIdentity = files.Identify(journal.target);
    if (targetIdentity && targetIdentity == files.Identify(source)) {
        throw FileError(target,
                        "this is the file that holds the downloaded data itself; nothing was "
                        "changed");
    }
    if (mode.onlyNew && targetIdentity) {
        throw FileError(target, kNameTakenMeanwhile);
    }
    journal.identity = targetIdentity.value_or(FileIdentity{});
    if (append && targetIdentity) {
        journal.mode = SaveJournal::Mode::Append;
    } else {
        // Only a file that was there is replaced: one that turns up meanwhile stays.
        journal.overwrite = targetIdentity.has_value();
        journal.replacement = ReplacementFor(journal.target, UniqueSuffix());
    }
    return journal;
}

// The export itself, with any journal of an earlier save of `source` already settled or about
// to be replaced by this save's.
ExportOutcome Export(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                     const std::string& source, const std::string& target, TargetMode mode,
                     bool deleteCapture) {
    // The capture is opened first: when it is missing or unreadable no target is touched.
    auto input = files.OpenForReading(source);
    const std::uint64_t stepsTotal = (input->Length() + 1) / kReadsPerStep;
    SaveJournal journal = Plan(files, *input, source, target, mode, deleteCapture);
    std::unique_ptr<OutputFile> output;
    if (journal.mode == SaveJournal::Mode::Append) {
        // Opened before the journal is written: a target that may not be written is refused
        // with nothing changed.
        output = files.OpenForAppend(journal.target);
        journal.lengthBefore = output->Length();
        if (files.Identify(journal.target) != journal.identity) {
            throw FileError(target,
                            "another program replaced this file just now; nothing was "
                            "changed");
        }
    }
    journal.Write(files);
    if (journal.mode == SaveJournal::Mode::Replace) {
        try {
            output = files.CreateReplacement(journal.target, journal.replacement);
        } catch (...) {
            // Whatever is in the replacement's place is not this save's and stays.
            DeleteIfThere(files, SaveJournal::PathFor(files, journal.capture));
            throw;
        }
    }

    SaveJournal written = journal;
    written.phase = SaveJournal::Phase::Written;
    try {
        if (journal.header) {
            const std::string header = kCsvHeader;
            output->Write(reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
        }
        ProgressDisplay progress(forms, window.GetWindowHandle(), stepsTotal);
        if (!CopyFiltered(*input, *output, progress, window)) {
            progress.Finish();
            input->Close();
            Abandon(files, journal, output);
            return ExportOutcome::StoppedForExit;
        }
        progress.Finish();
        input->Close();
        output->Sync();
        output->Close();
        output.reset();
        if (journal.mode == SaveJournal::Mode::Replace) {
            written.replacementIdentity =
                files.Identify(journal.replacement).value_or(FileIdentity{});
        }
        // From here on the save is finished rather than undone, also after a crash.
        written.Write(files);
        if (journal.mode == SaveJournal::Mode::Replace) {
            CommitReplacement(files, written);
        }
    } catch (const FileError& e) {
        throw FileError(e.path(), e.cause() + Abandon(files, journal, output));
    } catch (...) {
        Abandon(files, journal, output);
        throw;
    }
    // The target is on the disk: the capture file may go now, and then the journal. Should
    // that fail, the journal stays and the next save or start finishes it.
    try {
        SettleSave(files, written);
    } catch (const FileError& e) {
        throw FileError(e.path(), e.cause() + "; the data is saved in \"" + target +
                                      "\", and saving again finishes this save");
    }
    return ExportOutcome::Completed;
}

// A save of this capture that got as far as its target and no further is finished first,
// keeping the capture file for this save. When it was this very save, or had already deleted the
// capture file, the data is saved there and nothing is written twice.
ExportOutcome ExportAfterEarlier(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                                 const std::string& source, const std::string& target,
                                 TargetMode mode, bool deleteCapture) {
    if (auto earlier = ReadSaveJournal(files, source).journal) {
        earlier->deleteCapture = false;
        if (SettleSave(files, *earlier).finished &&
            (FinishedAsAsked(files, *earlier, target, mode.append, deleteCapture) ||
             !files.Identify(source))) {
            return ExportOutcome::Completed;
        }
    }
    return Export(files, forms, window, source, target, mode, deleteCapture);
}

}  // namespace

ExportOutcome ExportCaptureFile(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                                const std::string& source, const std::string& target, bool append,
                                bool deleteCapture) {
    return ExportAfterEarlier(files, forms, window, source, target, TargetMode{append, false},
                              deleteCapture);
}

ExportOutcome ExportCaptureFileAsNew(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                                     const std::string& source, const std::string& target) {
    return ExportAfterEarlier(files, forms, window, source, target, TargetMode{false, true}, true);
}

bool FinishedAsAsked(FileSystem& files, SaveJournal finished, const std::string& target,
                     bool append, bool deleteCapture) {
    const auto asked = files.Identify(target);
    if (!asked || asked != files.Identify(finished.target) || finished.header == append) {
        return false;
    }
    finished.phase = SaveJournal::Phase::Written;
    finished.deleteCapture = deleteCapture;
    SettleSave(files, finished);
    return true;
}

InterruptedSave FinishInterruptedSave(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                                      const std::string& capture,
                                      std::optional<bool> deleteCapture) {
    InterruptedSave result;
    const JournalFound found = ReadSaveJournal(files, capture);
    if (!found.journal) {
        // A journal that is not obeyed leaves the capture file's data as unsaved as it may be.
        result.note = found.ignored;
        result.dataKept = !found.ignored.empty() && files.Identify(capture).has_value();
        if (result.dataKept) {
            result.note += " The downloaded data is kept: save it again.";
        }
        return result;
    }
    SaveJournal journal = *found.journal;
    // The present command decides what becomes of the capture file, not the one cut short.
    journal.deleteCapture = deleteCapture.value_or(journal.deleteCapture);
    const std::string quoted = "An interrupted save into \"" + journal.target + "\"";
    std::string why;
    Settlement settled;
    if (journal.phase == SaveJournal::Phase::Written) {
        settled = SettleSave(files, journal);
        result.note = settled.note;
        if (settled.finished) {
            result.completed = journal;
        }
    } else if ((why = UndoForRetry(files, journal)).empty()) {
        // The user chose this target and mode: the save runs again, appending after the old
        // end or writing a fresh replacement. Its own journal takes the old one's place.
        try {
            // A save that was to make a new file makes one again, never over a file that took
            // the name since.
            const TargetMode mode{!journal.header,
                                  journal.mode == SaveJournal::Mode::Replace && !journal.overwrite};
            if (Export(files, forms, window, journal.capture, journal.target, mode,
                       journal.deleteCapture) == ExportOutcome::Completed) {
                result.note = quoted + " was completed.";
                result.completed = journal;
                return result;
            }
            result.note = quoted + " was stopped again.";
        } catch (const FileError& e) {
            // Whatever that attempt left (the old journal when it failed before writing its
            // own) is settled as any interrupted save is.
            RecoverInterruptedSave(files, capture);
            result.note = quoted + " could not be completed: " + e.what() + ".";
        }
    } else {
        settled = SettleSave(files, journal);
        result.note = settled.note;
        if (journal.mode == SaveJournal::Mode::Replace) {
            result.note = quoted + " was not run again: " + why + ".";
        }
    }
    if (settled.targetChanged) {
        result.targetChanged = journal.target;
    }
    result.dataKept = !result.completed && files.Identify(capture).has_value();
    if (result.dataKept) {
        result.note += " Its data is kept: save it again.";
    }
    return result;
}

}  // namespace vr
