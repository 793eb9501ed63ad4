#include "saving/ExportCaptureFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "saving/KeepDataBytes.h"
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

// Puts a target back as the export found it when the export does not complete.
class TargetRestore {
public:
    TargetRestore(FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}

    // The file is started afresh: undoing means removing it, or writing back what it held before
    // when it replaced an existing file.
    void RemoveOnUndo() { remove_ = true; }
    void RestoreOnUndo(std::string oldContent) { oldContent_ = std::move(oldContent); }
    // Data goes after the file's last `length` bytes: undoing means cutting it back to them.
    void CutBackOnUndo(std::uint64_t length) { cutBackTo_ = length; }

    // Closes `output` (the data it still holds is being discarded anyway) and restores the
    // target. Returns a description of what could not be restored, or "".
    std::string Undo(std::unique_ptr<OutputFile>& output) noexcept {
        try {
            if (output) {
                output->Close();
            }
        } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): the write is undone
        }
        output.reset();
        try {
            if (oldContent_) {
                auto file = files_.OpenTarget(path_);
                file->Truncate(0);
                file->Write(reinterpret_cast<const std::uint8_t*>(oldContent_->data()),
                            oldContent_->size());
                file->Close();
            } else if (remove_) {
                files_.DeleteFile(path_);
            } else if (cutBackTo_) {
                auto file = files_.OpenTarget(path_);
                file->Truncate(*cutBackTo_);
                file->Close();
            }
        } catch (const std::exception& e) {
            if (oldContent_) {
                return "; the file's former content could not be written back (" +
                       std::string(e.what()) + ")";
            }
            return remove_ ? "; the partly written file could not be removed (" +
                                 std::string(e.what()) + ")"
                           : "; the file could not be cut back to its former length (" +
                                 std::string(e.what()) + ")";
        }
        return "";
    }

private:
    FileSystem& files_;
    std::string path_;
    bool remove_ = false;
    std::optional<std::uint64_t> cutBackTo_;
    std::optional<std::string> oldContent_;
};

std::string ReadWhole(FileSystem& files, const std::string& path) {
    auto input = files.OpenForReading(path);
    std::string content;
    std::vector<char> block(kBlockSize);
    for (;;) {
        const std::size_t got =
            input->Read(reinterpret_cast<std::uint8_t*>(block.data()), block.size());
        if (got == 0) {
            break;
        }
        content.append(block.data(), got);
    }
    input->Close();
    return content;
}

// Makes the freshly opened target ready for the data: header for a new file, write position
// after the last byte when appending. Tells `restore` how to undo the export.
void PrepareTarget(OutputFile& output, bool append, bool reportedBefore, TargetRestore& restore) {
    if (!append) {
        restore.RemoveOnUndo();
        // A file that was there without being reported (and so not deleted) must not keep the
        // tail of its old content after its start is written over.
        output.Truncate(0);
        const std::string header = kCsvHeader;
        output.Write(reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
        return;
    }
    const std::uint64_t length = output.Length();
    if (!reportedBefore && length == 0) {
        restore.RemoveOnUndo();
    } else {
        restore.CutBackOnUndo(length);
    }
    output.SeekToEnd();
}

}  // namespace

ExportOutcome ExportCaptureFile(FileSystem& files, FormFactory& forms, MainWindowLink& window,
                                const std::string& source, const std::string& target, bool append) {
    if (source == target) {
        throw FileError(target, "this is the file that holds the downloaded data itself");
    }
    // The capture is opened first: when it is missing or unreadable no target is touched.
    auto input = files.OpenForReading(source);
    const std::uint64_t stepsTotal = (input->Length() + 1) / kReadsPerStep;

    const bool reportedBefore = files.FileExists(target);
    TargetRestore restore(files, target);
    std::unique_ptr<OutputFile> output;
    try {
        if (!append && reportedBefore) {
            // Replaced only once the new content is complete: a failed save leaves it as it was.
            restore.RestoreOnUndo(ReadWhole(files, target));
            files.DeleteFile(target);
        }
        output = files.OpenTarget(target);
        PrepareTarget(*output, append, reportedBefore, restore);
        ProgressDisplay progress(forms, window.GetWindowHandle(), stepsTotal);
        if (!CopyFiltered(*input, *output, progress, window)) {
            progress.Finish();
            input->Close();
            restore.Undo(output);
            return ExportOutcome::StoppedForExit;
        }
        progress.Finish();
        input->Close();
        output->Close();
        output.reset();
        // The capture goes only once the target is complete and closed.
        if (files.FileExists(source)) {
            files.DeleteFile(source);
        }
    } catch (const FileError& e) {
        const std::string notRestored = restore.Undo(output);
        throw FileError(e.path(), e.cause() + notRestored);
    } catch (...) {
        restore.Undo(output);
        throw;
    }
    return ExportOutcome::Completed;
}

}  // namespace vr
