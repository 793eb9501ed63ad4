// The save command and the export of the capture file into a CSV file: the dialogs, the texts,
// the bytes written, what each failure names, and what is left when any file operation fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/headless/HeadlessForms.h"
#include "platform/headless/HeadlessToolkit.h"
#include "saving/APICommonDialog.h"
#include "saving/ExportCaptureFile.h"
#include "saving/SaveCommand.h"
#include "saving/SaveJournal.h"
#include "shared/CapturePaths.h"
#include "support/NativeFileSystem.h"
#include "support/TestFileSystem.h"
#include "support/TestWindow.h"

namespace vr::test {
namespace {

using headless::AppendAnswer;
using std::string_literals::operator""s;

const std::string kHeader = "Zorvik Technologies Verada logfile\r\n";
const std::string kCapture = "\0\0001,20\r\n\xFF"s;
const std::string kData = "1,20\r\n";
const std::string kNoData =
    "There is no downloaded data to save.  Please download data before saving.";

// Bytes 0, 1, ..., 255, 0, 1, ...: every filler and every kept byte, `size` in all.
std::string Ramp(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 256);
    }
    return bytes;
}

std::string WithoutFiller(std::string bytes) {
    std::erase_if(bytes, [](char c) { return c == '\x00' || c == '\xFF'; });
    return bytes;
}

class Saving : public ::testing::Test, protected ScratchFiles {
protected:
    Saving() {
        state.CaptureFilePath = scratch.Path("vrtemp.csv");
        NewDownload(kCapture);
    }
    void NewDownload(const std::string& capture) {
        ScratchFolder::WriteFile(state.CaptureFilePath, capture);
        state.UnsavedData = true;
        window.events.clear();
        window.view.visible = true;
        window.SetTimerEnabled(false);
        toolkit.messageBoxes.clear();
    }
    void Save(std::optional<std::string> chosen) {
        forms.saveDialogAnswers.push_back(std::move(chosen));
        save.cmdSave_Click();
    }
    ExportOutcome Export(const std::string& capture, bool append) {
        ScratchFolder::WriteFile(state.CaptureFilePath, capture);
        return ExportCaptureFile(files, forms, window, state.CaptureFilePath, target, append);
    }
    // The save did not happen: the data waits, the window is shown, polling may run again.
    void ExpectDataKept(const std::optional<std::string>& capture = kCapture) {
        EXPECT_EQ(ScratchFolder::ReadFile(state.CaptureFilePath), capture);
        EXPECT_TRUE(state.UnsavedData);
        EXPECT_EQ(window.Count("minimise"), 0);
        EXPECT_TRUE(window.view.visible);
        EXPECT_TRUE(window.TimerEnabled());
    }
    // The save happened: the data is gone and the window back in the tray, polling.
    void ExpectSaved() {
        EXPECT_FALSE(ScratchFolder::ReadFile(state.CaptureFilePath));
        EXPECT_FALSE(state.UnsavedData);
        EXPECT_EQ(window.Count("minimise"), 1);
        EXPECT_FALSE(window.unsavedDataAtMinimize);
        EXPECT_FALSE(window.view.visible);
        EXPECT_TRUE(window.TimerEnabled());
        EXPECT_FALSE(save.Busy());
    }

    headless::HeadlessToolkit toolkit;
    headless::HeadlessForms forms;
    ProgramState state;
    TestWindow window{toolkit, state};
    SaveCommand save{toolkit, forms, files, state, window};
    std::string target = scratch.Path("out.csv");
};

TEST_F(Saving, WithoutDataOnlyTellsTheUser) {
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

TEST_F(Saving, DialogAsksForCsvAndCancelChangesNothing) {
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
    EXPECT_EQ(call.request.InitialDir, files.CurrentFolder());
    EXPECT_EQ(call.request.DialogFlags, 0x804);
    EXPECT_EQ(call.request.FilterIndex, 0);
    EXPECT_TRUE(call.request.DefaultFile.empty());
    EXPECT_TRUE(call.request.DefaultExt.empty());
    EXPECT_EQ(ScratchFolder::ReadFile(state.CaptureFilePath), kCapture);
    EXPECT_TRUE(state.UnsavedData);
    EXPECT_TRUE(toolkit.messageBoxes.empty());

    EXPECT_EQ(BuildFilterString({}), "");
    EXPECT_EQ(BuildFilterString({"All Files"}), "All Files\0*.*\0\0"s);
    EXPECT_EQ(BuildFilterString({"A", "*.a", "B", "*.b"}), "A\0*.a\0B\0*.b\0\0"s);
}

TEST_F(Saving, NewFileGetsHeaderAndTheWindowGoesBackToTheTray) {
    struct Case {
        std::string chosen;
        std::string written;
    };
    const std::vector<Case> cases = {
        {scratch.Path("report"), "report.csv"},
        {scratch.Path("summary.csv"), "summary.csv"},
        {scratch.Path("DATA.CSV"), "DATA.CSV.csv"},  // the extension test is case-sensitive
        {"  " + scratch.Path("spaced") + "  ", "spaced.csv"},
    };
    // Distinct names: where the file system ignores case, report.csv and report.CSV are one.
    ScratchFolder::WriteFile(scratch.Path("DATA.CSV"), "keep");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        NewDownload(kCapture);
        save.AppendToFile = true;  // what an earlier Append left
        Save(c.chosen);
        EXPECT_EQ(ScratchFolder::ReadFile(scratch.Path(c.written)), kHeader + kData);
        ExpectSaved();
    }
    EXPECT_EQ(forms.appendFormsShown, 0);
    EXPECT_TRUE(toolkit.messageBoxes.empty());
    EXPECT_EQ(ScratchFolder::ReadFile(scratch.Path("DATA.CSV")), "keep");
}

TEST_F(Saving, ExistingFileAsksToAppendOrOverwrite) {
    struct Case {
        const char* name;
        AppendAnswer answer;
        std::string result;
    };
    const std::vector<Case> cases = {
        {"append", AppendAnswer::Append, "old\r\n" + kData},
        {"overwrite", AppendAnswer::Overwrite, kHeader + kData},
        {"cancel", AppendAnswer::Cancel, "old\r\n"},
        {"close box", AppendAnswer::CloseBox, "old\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder::WriteFile(target, "old\r\n");
        NewDownload(kCapture);
        // What an earlier Append left: a close box must not reuse it as this showing's choice.
        save.AppendToFile = true;
        save.SaveCancelled = false;
        const int shownBefore = forms.appendFormsShown;
        forms.appendAnswers.push_back(c.answer);
        Save(target);

        EXPECT_EQ(forms.appendFormsShown, shownBefore + 1);
        EXPECT_EQ(forms.appendOwners.back(), window.GetWindowHandle());
        EXPECT_EQ(ScratchFolder::ReadFile(target), c.result);
        if (c.answer == AppendAnswer::Append || c.answer == AppendAnswer::Overwrite) {
            ExpectSaved();
        } else {
            ExpectDataKept();
        }
    }
    EXPECT_EQ(forms.appendFormsUnloaded, 3);  // by each button; the close box unloaded itself
    EXPECT_TRUE(toolkit.messageBoxes.empty());
}

TEST_F(Saving, FailureNamesTheFileAndTheCause) {
    const std::string gone = scratch.Path("gone/out.csv");
    Save(gone);
    ExpectDataKept();
    std::filesystem::remove(state.CaptureFilePath);
    Save(target);
    EXPECT_TRUE(state.UnsavedData);
    EXPECT_TRUE(window.TimerEnabled());
    EXPECT_FALSE(ScratchFolder::ReadFile(target));
    ASSERT_EQ(toolkit.messageBoxes.size(), 2U);
    for (const auto& [box, path, cause] :
         {std::tuple(toolkit.messageBoxes[0], gone, MissingFolderText()),
          std::tuple(toolkit.messageBoxes[1], state.CaptureFilePath, MissingFileText())}) {
        EXPECT_EQ(box.title, "Verada Rede");
        EXPECT_NE(box.prompt.find(path), std::string::npos) << box.prompt;
        EXPECT_NE(box.prompt.find(cause), std::string::npos) << box.prompt;
    }
}

// Each file operation fails in turn (the failing write keeps half its bytes, as a full disk does).
// An overwrite leaves no tail of the longer old file; a target that FileExists does not see (a
// hidden file on Windows) is overwritten, not appended to.
TEST_F(Saving, FailingEachFileOperationInTurnKeepsTheDataAndPutsTheTargetBack) {
    const std::string capture = Ramp(70'000);  // more than one block of the copy
    const std::string old = kHeader + std::string(80'000, 'x');
    struct Case {
        const char* name;
        std::optional<std::string> before;
        AppendAnswer answer;
        std::string after;
        bool hidden = false;
    };
    for (const Case& c :
         {Case{"new", {}, AppendAnswer::Cancel, kHeader + WithoutFiller(capture)},
          Case{"append", old, AppendAnswer::Append, old + WithoutFiller(capture)},
          Case{"append to empty", "", AppendAnswer::Append, WithoutFiller(capture)},
          Case{"overwrite", old, AppendAnswer::Overwrite, kHeader + WithoutFiller(capture)},
          Case{"hidden", old, AppendAnswer::Append, kHeader + WithoutFiller(capture), true}}) {
        files.unreported.clear();
        if (c.hidden) {
            files.unreported.insert(target);
        }
        const auto saveFailingAt = [&](std::optional<std::size_t> failAt) {
            std::filesystem::remove(target);
            if (c.before) {
                ScratchFolder::WriteFile(target, *c.before);
            }
            NewDownload(capture);
            files.ops.clear();
            files.failAt = failAt;
            forms.appendAnswers.assign({c.answer});
            Save(target);
            files.failAt.reset();
        };
        saveFailingAt(std::nullopt);
        const std::vector<std::string> steps = files.ops;
        ASSERT_GT(steps.size(), 5U) << c.name;
        // After the last rename (the replacement in place) or journal write (marking an append
        // done) the save is finished rather than undone.
        const auto lastRename = std::find_if(steps.rbegin(), steps.rend(), [](const auto& op) {
            return op.starts_with("rename ") || op.starts_with("write-private ");
        });
        const auto finishedFrom = static_cast<std::size_t>(steps.rend() - lastRename);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE(std::string(c.name) + ": " + steps[i] + " (step " + std::to_string(i) +
                         ")");
            saveFailingAt(i);
            ASSERT_EQ(toolkit.messageBoxes.size(), 1U);
            const std::string& prompt = toolkit.messageBoxes[0].prompt;
            EXPECT_NE(prompt.find("could not be saved"), std::string::npos);
            EXPECT_NE(prompt.find(steps[i].substr(steps[i].find(' ') + 1)), std::string::npos)
                << prompt;  // the failing file
            // Only the journal's removal failed: the capture is gone, the next save finishes.
            const bool journalsRemoval = steps[i].starts_with("delete capture-");
            ExpectDataKept(journalsRemoval ? std::nullopt : std::optional(capture));
            EXPECT_EQ(ScratchFolder::ReadFile(target), i >= finishedFrom ? c.after : c.before);
            EXPECT_FALSE(save.Busy());
            // Saving again writes the data once (or finishes the save that wrote it: a new file
            // is there by then).
            const bool madeNew =
                c.answer == AppendAnswer::Cancel;  // asked nothing: now it is there
            forms.appendAnswers.assign(
                {i >= finishedFrom && madeNew ? AppendAnswer::Overwrite : c.answer});
            Save(target);
            EXPECT_EQ(ScratchFolder::ReadFile(target), c.after);
            ExpectSaved();
        }
    }
}

TEST_F(Saving, SaveOntoTheCaptureFileIsRefusedHoweverItIsSpelt) {
    const std::string folder = scratch.Path("");  // ends in a separator
    std::filesystem::create_directory(folder + "sub");
    std::vector<std::string> spellings = {state.CaptureFilePath, folder + "./vrtemp.csv",
                                          folder + "/vrtemp.csv", folder + "sub/../vrtemp.csv"};
    std::error_code noLinks;  // a system without symbolic links leaves that spelling out
    std::filesystem::create_symlink(state.CaptureFilePath, folder + "link.csv", noLinks);
    if (!noLinks) {
        spellings.push_back(folder + "link.csv");
    }
    for (const auto& spelling : spellings) {
        for (const AppendAnswer answer : {AppendAnswer::Append, AppendAnswer::Overwrite}) {
            SCOPED_TRACE(spelling + (answer == AppendAnswer::Append ? ", append" : ", overwrite"));
            NewDownload(kCapture);
            forms.appendAnswers.assign({answer});
            Save(spelling);
            ASSERT_EQ(toolkit.messageBoxes.size(), 1U);
            EXPECT_NE(toolkit.messageBoxes[0].prompt.find("holds the downloaded data itself"),
                      std::string::npos);
            ExpectDataKept();
            EXPECT_FALSE(
                ScratchFolder::ReadFile(SaveJournal::PathFor(files, state.CaptureFilePath)));
        }
    }
}

// A save cut short leaves its journal; the next start finishes it (undone, then run again) when
// its capture file is intact and its target is the file it found, otherwise undoes what is its
// own and keeps the data for the user: the target as it was or complete, the data in it once or
// still in the capture file. A journal that is not the user's private file is not obeyed.
TEST_F(Saving, InterruptedSaveIsFinishedOrItsDataKeptAtTheNextStart) {
    struct Case {
        const char* name;
        SaveJournal::Mode mode;
        SaveJournal::Phase phase;
        std::string targetNow;  // what the save left in the target
        bool replacementLeft;   // a half-written replacement is beside the target
        std::string targetAfter;
        bool kept;                          // the capture file is kept and the user told
        const char* note;                   // in what the user is told
        std::string captureNow = kCapture;  // the capture file at the next start
        const char* folder = "";            // of the target, when not the scratch folder
        bool targetReplaced = false;        // another program saved the target anew since
        bool journalLinked = false;         // the journal has a second name: not obeyed
        bool renumbered = false;            // the system numbered its volumes anew since
    };
    const std::string old = "old\r\n";
    const auto writing = SaveJournal::Phase::Writing;
    const auto append = SaveJournal::Mode::Append;
    const auto replace = SaveJournal::Mode::Replace;
    const std::vector<Case> cases = {
        {"append cut short", append, writing, old + "1,2", false, old + kData, false, ""},
        {"append complete, not marked", append, writing, old + kData, false, old + kData, false,
         ""},
        {"append cut by a power cut, zeros where its data had not landed", append, writing,
         old + "1\0\0\0"s, false, old + kData, false, ""},
        {"append, another program's line after it", append, writing, old + "1,2other\n", false,
         old + "1,2other\n", true, "was not undone"},
        {"append marked complete", append, SaveJournal::Phase::Written, old + kData, false,
         old + kData, false, ""},
        {"append cut short, capture grown since", append, writing, old + "1,2", false, old, true,
         "was undone", kCapture + "9"},
        {"append cut short, target saved anew since", append, writing, old + "1,2", false,
         old + "1,2", true, "replaced or removed since", kCapture, "", true},
        {"append cut short, target cut since", append, writing, "ol", false, "ol", true,
         "cut shorter"},
        {"replacement half-written", replace, writing, old, true, kHeader + kData, false, ""},
        {"marked written, volumes numbered anew since", replace, SaveJournal::Phase::Written, old,
         true, kHeader + "1,", false, "", kCapture, "", false, false, true},
        {"replacement half-written, target saved anew since", replace, writing, old, true, old,
         true, "changed the file meanwhile", kCapture, "", true},
        {"replacement, folder gone", replace, writing, "", false, "", true,
         "could not be completed", kCapture, "gone/"},
        {"journal with a second name", append, writing, old + "1,2", false, old + "1,2", true,
         "was ignored", kCapture, "", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewDownload(kCapture);
        state.UnsavedData = false;  // as at a start
        window.view.visible = false;
        const std::string path = scratch.Path(c.folder) + "out.csv";
        ScratchFolder::WriteFile(target, old);
        SaveJournal journal;
        journal.capture = files.AbsolutePath(state.CaptureFilePath);
        journal.target = path;
        journal.mode = c.mode;
        journal.phase = c.phase;
        journal.overwrite = c.mode == replace && *c.folder == '\0';  // else a new file
        journal.header = c.mode == replace;
        journal.identity = files.Identify(target).value();
        journal.lengthBefore = old.size();
        journal.replacement = ReplacementFor(path, UniqueSuffix());
        journal.captureIdentity = files.Identify(state.CaptureFilePath).value();
        journal.captureLength = kCapture.size();
        if (c.renumbered) {
            journal.identity.volume ^= 1;
            journal.captureIdentity.volume ^= 1;
        }
        if (c.replacementLeft) {
            ScratchFolder::WriteFile(journal.replacement, kHeader + "1,");
            journal.replacementIdentity = files.Identify(journal.replacement).value();
            journal.replacementIdentity.volume ^= c.renumbered ? 1 : 0;
        }
        journal.Write(files);
        const std::string journalPath = SaveJournal::PathFor(files, state.CaptureFilePath);
        if (c.journalLinked) {
            std::filesystem::create_hard_link(journalPath, journalPath + ".second");
        }
        if (c.targetReplaced) {  // as an editor saves: a new file renamed over the old one
            std::filesystem::rename(target, target + ".was");
        }
        ScratchFolder::WriteFile(target, c.targetNow);
        ScratchFolder::WriteFile(state.CaptureFilePath, c.captureNow);

        EXPECT_EQ(save.SettleInterruptedSave(), c.kept);
        EXPECT_EQ(ScratchFolder::ReadFile(path).value_or(""), c.targetAfter);
        EXPECT_EQ(ScratchFolder::ReadFile(state.CaptureFilePath).has_value(), c.kept);
        EXPECT_EQ(state.UnsavedData, c.kept);
        EXPECT_EQ(window.view.visible, c.kept);
        ASSERT_EQ(toolkit.messageBoxes.size(), c.kept ? 1U : 0U);
        if (c.kept) {
            EXPECT_NE(toolkit.messageBoxes[0].prompt.find(c.note), std::string::npos)
                << toolkit.messageBoxes[0].prompt;
            EXPECT_NE(toolkit.messageBoxes[0].prompt.find("kept"), std::string::npos);
        }
        const bool ignored = c.journalLinked;  // then nothing it names is touched
        EXPECT_EQ(ScratchFolder::ReadFile(journal.replacement).has_value(),
                  ignored && c.replacementLeft);
        EXPECT_EQ(ScratchFolder::ReadFile(journalPath).has_value(), ignored);
        std::filesystem::remove(journalPath);
        std::filesystem::remove(journalPath + ".second");
        std::filesystem::remove(journal.replacement);
        std::filesystem::remove(target + ".was");
        EXPECT_EQ(RecoverInterruptedSave(files, state.CaptureFilePath), "");  // settled once
    }
}

TEST_F(Saving, SecondSaveDuringTheExportIsRefused) {
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
    EXPECT_EQ(ScratchFolder::ReadFile(scratch.Path("first.csv")),
              kHeader + std::string(300'000, 'y'));
    EXPECT_FALSE(ScratchFolder::ReadFile(scratch.Path("second.csv")));
    ExpectSaved();
}

TEST_F(Saving, ExitDuringTheExportLeavesTheDataAndStopsPolling) {
    NewDownload(std::string(300'000, 'y'));
    toolkit.QueueEvent([&] { window.exitPending = true; });
    Save(scratch.Path("report"));

    EXPECT_FALSE(ScratchFolder::ReadFile(scratch.Path("report.csv")));
    EXPECT_EQ(ScratchFolder::ReadFile(state.CaptureFilePath), std::string(300'000, 'y'));
    EXPECT_TRUE(state.UnsavedData);
    EXPECT_EQ(window.Count("minimise"), 0);
    EXPECT_FALSE(window.TimerEnabled());
    EXPECT_TRUE(toolkit.messageBoxes.empty());
}

TEST_F(Saving, StatusTextsFollowEveryHundredReadsIncludingTheFinalOne) {
    struct Case {
        std::size_t size;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {0, {"0% completed ( 0 of 0 )"}},
        {98, {"0% completed ( 0 of 0 )"}},
        {99, {"0% completed ( 0 of 1 )", "100% completed (1 of 1)"}},
        {250, {"0% completed ( 0 of 2 )", "50% completed (1 of 2)", "100% completed (2 of 2)"}},
        {799,
         {"0% completed ( 0 of 8 )", "13% completed (1 of 8)", "25% completed (2 of 8)",
          "38% completed (3 of 8)", "50% completed (4 of 8)", "63% completed (5 of 8)",
          "75% completed (6 of 8)", "88% completed (7 of 8)", "100% completed (8 of 8)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string capture = Ramp(c.size);
        ASSERT_EQ(Export(capture, false), ExportOutcome::Completed);

        EXPECT_EQ(ScratchFolder::ReadFile(target), kHeader + WithoutFiller(capture));
        EXPECT_FALSE(ScratchFolder::ReadFile(state.CaptureFilePath)) << "capture not deleted";
        const auto& progress = *forms.progressForms.back();
        EXPECT_EQ(progress.statusTexts, c.texts);
        EXPECT_EQ(progress.min, 0.0F);
        EXPECT_EQ(progress.max, static_cast<float>(c.texts.size() - 1));
        ASSERT_EQ(progress.values.size(), c.texts.size());  // 1..steps, then back to 0
        EXPECT_EQ(progress.values.back(), 0.0F);
        EXPECT_TRUE(progress.shown);
        EXPECT_EQ(progress.owner, window.GetWindowHandle());
        EXPECT_TRUE(progress.unloaded);
    }
    // Single precision: 21 of 40 is 52.499998 per cent there.
    ASSERT_EQ(Export(Ramp(4000), false), ExportOutcome::Completed);
    EXPECT_EQ(forms.progressForms.back()->statusTexts.at(21), "52% completed (21 of 40)");
}

TEST_F(Saving, CaptureBeyondSixteenBitCountersIsExportedInBlocks) {
    const std::string capture = Ramp(3'300'000);  // 33000 steps: more than 16-bit counters hold
    ASSERT_EQ(Export(capture, false), ExportOutcome::Completed);

    EXPECT_EQ(ScratchFolder::ReadFile(target), kHeader + WithoutFiller(capture));
    const auto& texts = forms.progressForms.back()->statusTexts;
    ASSERT_EQ(texts.size(), 33001U);
    EXPECT_EQ(texts[1], "0% completed (1 of 33000)");
    EXPECT_EQ(texts[16500], "50% completed (16500 of 33000)");
    EXPECT_EQ(texts.back(), "100% completed (33000 of 33000)");
    // Events are processed at a bounded pace, not after every byte.
    EXPECT_GT(toolkit.doEventsCount, 1);
    EXPECT_LT(toolkit.doEventsCount, 200);
}

}  // namespace
}  // namespace vr::test
