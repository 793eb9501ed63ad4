#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "headless/HeadlessForms.h"
#include "headless/HeadlessToolkit.h"
#include "saving/APICommonDialog.h"
#include "saving/SaveCommand.h"
#include "support/FailingFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/SavingWindow.h"
#include "support/ScratchFolder.h"

namespace vr {
namespace {

using headless::AppendAnswer;
using std::string_literals::operator""s;
using test::ScratchFolder;

const std::string kHeader = "Zorvik Technologies Verada logfile\r\n";
const std::string kCapture = "\0\0001,20\r\n\xFF"s;
const std::string kData = "1,20\r\n";
const std::string kNoData =
    "There is no downloaded data to save.  Please download data before saving.";

class SaveCommandTest : public ::testing::Test {
protected:
    SaveCommandTest() {
        state.CaptureFilePath = scratch.Path("vrtemp.csv");
        NewDownload(kCapture);
    }
    void NewDownload(const std::string& capture) {
        ScratchFolder::WriteFile(state.CaptureFilePath, capture);
        state.UnsavedData = true;
    }
    void Save(std::optional<std::string> chosen) {
        forms.saveDialogAnswers.push_back(std::move(chosen));
        save.cmdSave_Click();
    }
    // The save did not happen: the data waits, the window is shown, polling may run again.
    void ExpectDataKept(const std::string& capture = kCapture) {
        EXPECT_EQ(ScratchFolder::ReadFile(state.CaptureFilePath), capture);
        EXPECT_TRUE(state.UnsavedData);
        EXPECT_EQ(window.minimizeCalls, 0);
        EXPECT_TRUE(window.view.visible);
        EXPECT_TRUE(window.TimerEnabled());
    }

    ScratchFolder scratch;
    std::unique_ptr<FileSystem> native = test::NewNativeFileSystem();
    test::FailingFileSystem files{*native};
    headless::HeadlessToolkit toolkit;
    headless::HeadlessForms forms;
    ProgramState state;
    test::SavingWindow window{toolkit, state};
    SaveCommand save{toolkit, forms, files, state, window};
};

TEST_F(SaveCommandTest, WithoutDataOnlyTellsTheUser) {
    state.UnsavedData = false;
    for (bool timer : {false, true}) {
        window.SetTimerEnabled(timer);
        toolkit.messageBoxes.clear();
        save.cmdSave_Click();
        ASSERT_EQ(toolkit.messageBoxes.size(), 1U);
        EXPECT_EQ(toolkit.messageBoxes[0].prompt, kNoData);
        EXPECT_EQ(toolkit.messageBoxes[0].style, vbInformation);
        EXPECT_EQ(toolkit.messageBoxes[0].title, "Verada Rede");
        EXPECT_TRUE(forms.saveDialogs.empty());
        EXPECT_EQ(window.TimerEnabled(), timer);
    }
}

TEST_F(SaveCommandTest, DialogAsksForCsvAndCancelChangesNothing) {
    for (bool timer : {false, true}) {
        window.SetTimerEnabled(timer);
        Save(std::nullopt);
        EXPECT_EQ(window.TimerEnabled(), timer);
    }
    ASSERT_EQ(forms.saveDialogs.size(), 2U);
    const auto& call = forms.saveDialogs[0];
    EXPECT_EQ(call.owner, window.GetWindowHandle());
    EXPECT_EQ(call.request.DialogTitle, "Save CSV file ...");
    EXPECT_EQ(call.request.Filter, "CSV Files (*.csv)\0*.csv\0\0"s);
    EXPECT_EQ(call.request.InitialDir, native->CurrentFolder());
    EXPECT_EQ(call.request.DialogFlags, 0x804);
    EXPECT_EQ(call.request.FilterIndex, 0);
    EXPECT_TRUE(call.request.DefaultFile.empty());
    EXPECT_TRUE(call.request.DefaultExt.empty());
    EXPECT_EQ(ScratchFolder::ReadFile(state.CaptureFilePath), kCapture);
    EXPECT_TRUE(state.UnsavedData);
    EXPECT_TRUE(toolkit.messageBoxes.empty());
}

TEST_F(SaveCommandTest, FilterStringPairsDescriptionsWithPatterns) {
    EXPECT_EQ(BuildFilterString({}), "");
    EXPECT_EQ(BuildFilterString({"All Files"}), "All Files\0*.*\0\0"s);
    EXPECT_EQ(BuildFilterString({"A", "*.a", "B", "*.b"}), "A\0*.a\0B\0*.b\0\0"s);
}

TEST_F(SaveCommandTest, NewFileGetsHeaderAndTheWindowGoesBackToTheTray) {
    struct Case {
        std::string chosen;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"report", "report.csv"},
        {"summary.csv", "summary.csv"},
        {"DATA.CSV", "DATA.CSV.csv"},  // the extension test is case-sensitive
        {"  " + scratch.Path("spaced") + "  ", "spaced.csv"},
    };
    // Distinct names: where the file system ignores case, report.csv and report.CSV are one.
    ScratchFolder::WriteFile(scratch.Path("DATA.CSV"), "keep");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        const std::string chosen = c.chosen.front() == ' ' ? c.chosen : scratch.Path(c.chosen);
        NewDownload(kCapture);
        window.minimizeCalls = 0;
        window.view.visible = true;
        Save(chosen);

        const std::string written = scratch.Path(c.written);
        EXPECT_EQ(ScratchFolder::ReadFile(written), kHeader + kData);
        EXPECT_FALSE(ScratchFolder::ReadFile(state.CaptureFilePath));
        EXPECT_FALSE(state.UnsavedData);
        EXPECT_EQ(window.minimizeCalls, 1);
        EXPECT_FALSE(window.unsavedDataAtMinimize);
        EXPECT_FALSE(window.view.visible);
        EXPECT_TRUE(window.TimerEnabled());
        EXPECT_FALSE(save.Busy());
        std::filesystem::remove(written);
    }
    EXPECT_EQ(forms.appendFormsShown, 0);
    EXPECT_TRUE(toolkit.messageBoxes.empty());
    EXPECT_EQ(ScratchFolder::ReadFile(scratch.Path("DATA.CSV")), "keep");

    save.cmdSave_Click();  // nothing new downloaded since
    ASSERT_EQ(toolkit.messageBoxes.size(), 1U);
    EXPECT_EQ(toolkit.messageBoxes[0].prompt, kNoData);
}

TEST_F(SaveCommandTest, ExistingFileAsksToAppendOrOverwrite) {
    struct Case {
        const char* name;
        AppendAnswer answer;
        std::string result;
        bool saved;
    };
    const std::vector<Case> cases = {
        {"append", AppendAnswer::Append, "old\r\n" + kData, true},
        {"overwrite", AppendAnswer::Overwrite, kHeader + kData, true},
        {"cancel", AppendAnswer::Cancel, "old\r\n", false},
        {"close box", AppendAnswer::CloseBox, "old\r\n", false},
    };
    const std::string target = scratch.Path("log.csv");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder::WriteFile(target, "old\r\n");
        NewDownload(kCapture);
        window.minimizeCalls = 0;
        window.view.visible = true;
        window.SetTimerEnabled(false);
        // What an earlier Append left: a close box must not reuse it as this showing's choice.
        save.AppendToFile = true;
        save.SaveCancelled = false;
        const int shownBefore = forms.appendFormsShown;
        forms.appendAnswers.push_back(c.answer);
        Save(target);

        EXPECT_EQ(forms.appendFormsShown, shownBefore + 1);
        EXPECT_EQ(forms.appendOwners.back(), window.GetWindowHandle());
        EXPECT_EQ(ScratchFolder::ReadFile(target), c.result);
        if (c.saved) {
            EXPECT_FALSE(state.UnsavedData);
            EXPECT_EQ(window.minimizeCalls, 1);
            EXPECT_TRUE(window.TimerEnabled());
        } else {
            ExpectDataKept();
        }
    }
    EXPECT_EQ(forms.appendFormsUnloaded, 3);  // by each button; the close box unloaded itself
    EXPECT_TRUE(toolkit.messageBoxes.empty());
}

TEST_F(SaveCommandTest, FailureIsReportedAndNothingOfTheSaveRemains) {
    const std::string target = scratch.Path("out.csv");
    const std::string capture = std::string(200'000, 'x');
    const std::string gone = scratch.Path("gone/out.csv");
    struct Case {
        const char* name;
        std::optional<std::string> before;  // the target's content before, if it exists
        AppendAnswer answer;
        std::function<void()> fault;
        std::string failingPath;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {"target folder gone",
         {},
         AppendAnswer::Cancel,
         [&] { std::filesystem::remove_all(scratch.Path("gone")); },
         gone,
         test::MissingFolderText()},
        {"target not writable", "old", AppendAnswer::Append,
         [&] { files.openTargetFaults[target] = "Permission denied"; }, target,
         "Permission denied"},
        {"disk full, new file",
         {},
         AppendAnswer::Cancel,
         [&] { files.targetRoom = 1000; },
         target,
         "No space left on device"},
        {"disk full, append", "old", AppendAnswer::Append, [&] { files.targetRoom = 1000; }, target,
         "No space left on device"},
        {"capture missing", "old", AppendAnswer::Overwrite,
         [&] { std::filesystem::remove(state.CaptureFilePath); }, state.CaptureFilePath,
         test::MissingFileText()},
        {"capture unreadable, append", "old", AppendAnswer::Append,
         [&] { files.readableBytes = 70'000; }, state.CaptureFilePath, "Input/output error"},
        {"target deletion refused", "old", AppendAnswer::Overwrite,
         [&] { files.deleteFaults[target] = "Permission denied"; }, target, "Permission denied"},
        {"capture deletion refused, new file",
         {},
         AppendAnswer::Cancel,
         [&] { files.deleteFaults[state.CaptureFilePath] = "Permission denied"; },
         state.CaptureFilePath,
         "Permission denied"},
        {"capture deletion refused, append", "old", AppendAnswer::Append,
         [&] { files.deleteFaults[state.CaptureFilePath] = "Permission denied"; },
         state.CaptureFilePath, "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files.ClearFaults();
        std::filesystem::remove(target);
        if (c.before) {
            ScratchFolder::WriteFile(target, *c.before);
        }
        NewDownload(capture);
        window.SetTimerEnabled(false);
        toolkit.messageBoxes.clear();
        forms.appendAnswers.assign({c.answer});
        c.fault();
        const bool missingCapture = !ScratchFolder::ReadFile(state.CaptureFilePath);
        Save(c.failingPath == gone ? gone : target);

        ASSERT_EQ(toolkit.messageBoxes.size(), 1U);
        const auto& box = toolkit.messageBoxes[0];
        EXPECT_EQ(box.title, "Verada Rede");
        EXPECT_NE(box.prompt.find(c.failingPath), std::string::npos) << box.prompt;
        EXPECT_NE(box.prompt.find(c.cause), std::string::npos) << box.prompt;
        if (missingCapture) {
            EXPECT_TRUE(state.UnsavedData);
            EXPECT_TRUE(window.TimerEnabled());
        } else {
            ExpectDataKept(capture);
        }
        EXPECT_EQ(ScratchFolder::ReadFile(target), c.before);
        EXPECT_FALSE(save.Busy());
    }
}

TEST_F(SaveCommandTest, SaveIntoTheCaptureFileItselfIsRefused) {
    forms.appendAnswers.push_back(AppendAnswer::Overwrite);
    Save(state.CaptureFilePath);
    ASSERT_EQ(toolkit.messageBoxes.size(), 1U);
    EXPECT_NE(toolkit.messageBoxes[0].prompt.find(state.CaptureFilePath), std::string::npos);
    ExpectDataKept();
}

TEST_F(SaveCommandTest, SaveDuringTheExportIsRefused) {
    NewDownload(std::string(300'000, 'y'));
    bool busyInside = false;
    toolkit.QueueEvent([&] {
        busyInside = save.Busy();
        forms.saveDialogAnswers.push_back(scratch.Path("second"));
        save.cmdSave_Click();
    });
    Save(scratch.Path("first"));

    EXPECT_TRUE(busyInside);
    EXPECT_EQ(forms.saveDialogs.size(), 1U);
    EXPECT_EQ(forms.progressForms.size(), 1U);
    EXPECT_EQ(ScratchFolder::ReadFile(scratch.Path("first.csv")),
              kHeader + std::string(300'000, 'y'));
    EXPECT_FALSE(ScratchFolder::ReadFile(scratch.Path("second.csv")));
    EXPECT_FALSE(state.UnsavedData);
    EXPECT_FALSE(save.Busy());
}

TEST_F(SaveCommandTest, ExitDuringTheExportLeavesTheDataAndStopsPolling) {
    NewDownload(std::string(300'000, 'y'));
    toolkit.QueueEvent([&] { window.exitPending = true; });
    Save(scratch.Path("report"));

    EXPECT_FALSE(ScratchFolder::ReadFile(scratch.Path("report.csv")));
    EXPECT_EQ(ScratchFolder::ReadFile(state.CaptureFilePath), std::string(300'000, 'y'));
    EXPECT_TRUE(state.UnsavedData);
    EXPECT_EQ(window.minimizeCalls, 0);
    EXPECT_FALSE(window.TimerEnabled());
    EXPECT_TRUE(toolkit.messageBoxes.empty());
}

}  // namespace
}  // namespace vr
