#include "saving/SaveCommand.h"

#include <exception>
#include <string>

#include "saving/APICommonDialog.h"
#include "saving/ExportCaptureFile.h"
#include "saving/frmAppend.h"
#include "shared/Errors.h"
#include "shared/Version.h"

namespace vr {
namespace {

constexpr const char* kNoDataPrompt =
    "There is no downloaded data to save.  Please download data before saving.";
constexpr const char* kStillReceivingPrompt =
    "Data is still being received from the docking station.  Please save once the transfer has "
    "finished.";
constexpr const char* kCsvExtension = ".csv";

bool EndsWithCsv(const std::string& path) {
    const std::string extension = kCsvExtension;
    return path.size() >= extension.size() &&
           path.compare(path.size() - extension.size(), extension.size(), extension) == 0;
}

// Marks the save command busy for its lifetime, however it ends.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

}  // namespace

void SaveCommand::cmdSave_Click() {
    if (busy_) {
        return;  // clicked again from inside the running save's yields: it is already saving
    }
    if (!state_.UnsavedData) {
        toolkit_.MsgBox(kNoDataPrompt, vbOKOnly + vbInformation, kAppTitle);
        return;
    }
    if (state_.CaptureFileOpen) {
        // Exporting now would copy half a transfer and delete the file the rest is written to.
        toolkit_.MsgBox(kStillReceivingPrompt, vbOKOnly + vbInformation, kAppTitle);
        return;
    }
    Outcome outcome = Outcome::NothingChosen;
    try {
        outcome = Save();
    } catch (...) {
        ResumeTimer();  // an unexpected failure must not leave polling stopped for good
        throw;
    }
    switch (outcome) {
        case Outcome::NothingChosen:   // the timer was not touched
        case Outcome::StoppedForExit:  // the exit path takes over; no tick must run again
            return;
        case Outcome::Saved:
            // Not busy any more, and UnsavedData is clear: minimising passes without a question.
            window_.MinimizeWindow();
            ResumeTimer();
            return;
        case Outcome::Cancelled:
        case Outcome::Failed:
            ResumeTimer();
            return;
    }
}

SaveCommand::Outcome SaveCommand::Save() {
    BusyScope busy(busy_);
    std::string path = ShowSaveDialog(forms_, files_, window_.GetWindowHandle(),
                                      "Save CSV file ...", "CSV Files", "*.csv", "");
    if (path.empty()) {
        return Outcome::NothingChosen;
    }
    if (!EndsWithCsv(path)) {
        path += kCsvExtension;
    }
    // No download may start while the user chooses and while the file is written.
    window_.SetTimerEnabled(false);
    if (!files_.FileExists(path)) {
        AppendToFile = false;
    } else {
        frmAppend form(forms_, AppendToFile, SaveCancelled);
        form.ShowModal(window_.GetWindowHandle());
        if (SaveCancelled) {
            return Outcome::Cancelled;
        }
    }
    return Export(path);
}

SaveCommand::Outcome SaveCommand::Export(const std::string& path) {
    if (window_.ExitPending()) {
        return Outcome::StoppedForExit;
    }
    try {
        if (ExportCaptureFile(files_, forms_, window_, state_.CaptureFilePath, path,
                              AppendToFile) == ExportOutcome::StoppedForExit) {
            return Outcome::StoppedForExit;
        }
    } catch (const FileError& error) {
        ReportFailure(error);
        return Outcome::Failed;
    }
    state_.UnsavedData = false;
    window_.ReportSaved(path);
    return Outcome::Saved;
}

bool SaveCommand::SettleInterruptedSave() {
    InterruptedSave settled;
    {
        BusyScope busy(busy_);
        settled = FinishInterruptedSave(files_, forms_, window_, state_.CaptureFilePath);
    }
    if (!settled.dataKept) {
        return false;
    }
    state_.UnsavedData = true;
    window_.RestoreWindow();
    toolkit_.MsgBox(settled.note, vbOKOnly + vbExclamation, kAppTitle);
    return true;
}

void SaveCommand::ReportFailure(const FileError& error) {
    std::string prompt =
        std::string("The downloaded data could not be saved.\r\n\r\n") + error.what();
    if (files_.FileExists(state_.CaptureFilePath)) {
        prompt += "\r\n\r\nThe data has been kept: you can save it again, for example elsewhere.";
    }
    toolkit_.MsgBox(prompt, vbOKOnly + vbExclamation, kAppTitle);
}

void SaveCommand::ResumeTimer() {
    if (!window_.ExitPending()) {
        window_.SetTimerEnabled(true);
    }
}

}  // namespace vr
