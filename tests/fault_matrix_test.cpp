// The whole program under faults. Each cell runs the main window, the adapter on the scripted HID
// platform, the save command and real files through one fault, then on through what the user
// does next, and checks after every step that nothing crashed, nothing was lost, and that
// UnsavedData, the window and the messages tell the user what to do.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "mainwindow/frmMain.h"
#include "saving/ExportCaptureFile.h"
#include "support/ProgramRig.h"

namespace vr::test {
namespace {

using headless::AppendAnswer;

constexpr int kReports = 250;

// Report i's payload: text the docking station might send, with filler bytes in some reports.
std::array<std::uint8_t, 8> Payload(int i) {
    return {static_cast<std::uint8_t>('A' + i % 26),
            static_cast<std::uint8_t>('0' + i / 100 % 10),
            static_cast<std::uint8_t>('0' + i / 10 % 10),
            static_cast<std::uint8_t>('0' + i % 10),
            static_cast<std::uint8_t>(i % 7 == 0 ? 0x00 : ','),
            static_cast<std::uint8_t>(i % 11 == 0 ? 0xFF : 'x'),
            '\r',
            '\n'};
}

// Reports [from, to), then `end`.
void ScriptReports(ProgramRig& rig, int from, int to, FakeStep end = FakeStep::Silence()) {
    for (int i = from; i < to; ++i) {
        rig.hid.script.push_back(FakeStep::Report(static_cast<std::uint8_t>(i % 3), Payload(i)));
    }
    rig.hid.script.push_back(end);
}

// Payloads [from, to) as the capture file holds them.
std::string Captured(int from, int to) {
    std::string bytes;
    for (int i = from; i < to; ++i) {
        const auto payload = Payload(i);
        bytes.append(payload.begin(), payload.end());
    }
    return bytes;
}

// Payloads [from, to) as a CSV file holds them.
std::string Exported(int from, int to) {
    std::string kept = Captured(from, to);
    std::erase_if(kept, [](char c) { return c == '\x00' || c == '\xFF'; });
    return kept;
}

std::string Contents(const std::string& path) {
    return ScratchFolder::ReadFile(path).value_or("");
}

// What one cell found wrong.
class Cell {
public:
    void Check(bool ok, const std::string& what) {
        if (!ok) {
            problems.push_back(what);
        }
    }
    // What holds after every step of the program: nothing left open or half done, and the
    // window, UnsavedData and the capture file agree.
    void CheckSane(const ProgramRig& rig, const std::string& when) {
        Check(rig.hid.OpenHandleCount() == 0, when + ": handles left open");
        Check(!rig.hid.ReadPending(), when + ": a read left outstanding");
        Check(rig.hid.priorityClass == NORMAL_PRIORITY_CLASS, when + ": priority left raised");
        Check(!rig.state.CaptureFileOpen, when + ": capture file left open");
        Check(rig.view.usesAfterDestroy == 0, when + ": window used after it was destroyed");
        if (rig.view.destroyed) {
            return;
        }
        const auto capture = ScratchFolder::ReadFile(rig.CapturePath());
        if (rig.state.UnsavedData) {
            Check(rig.view.visible && rig.view.state == WindowState::Normal,
                  when + ": data waits but the window is not up");
            Check(capture && !capture->empty(), when + ": data waits but the capture is empty");
        } else {
            Check(!rig.view.visible && rig.view.timerEnabled,
                  when + ": no data waits but the window is not polling in the tray");
            Check(!capture || capture->empty(), when + ": the capture holds data nobody can save");
        }
    }
    void CheckCapture(const ProgramRig& rig, const std::string& expected, const std::string& when) {
        Check(Contents(rig.CapturePath()) == expected,
              when + ": capture holds " + std::to_string(Contents(rig.CapturePath()).size()) +
                  " bytes, expected " + std::to_string(expected.size()));
    }
    // New message boxes since `before` whose text contains `text`.
    static auto Messages(const ProgramRig& rig, std::size_t before, const std::string& text) {
        const auto& boxes = rig.toolkit.messageBoxes;
        return std::count_if(
            boxes.begin() + static_cast<std::ptrdiff_t>(before), boxes.end(),
            [&](const auto& box) { return box.prompt.find(text) != std::string::npos; });
    }

    std::vector<std::string> problems;
};

// Counts the cells of one part of the matrix and prints the figures.
class Tally {
public:
    explicit Tally(std::string part) : part_(std::move(part)) {}
    void Add(const std::string& cell, const Cell& result) {
        ++run_;
        passed_ += result.problems.empty() ? 1 : 0;
        if (!result.problems.empty() && run_ - passed_ <= 10) {
            failures_ += "\n  " + cell + ": " + result.problems.front();
        }
    }
    void Report() const {
        std::cout << "fault matrix, " << part_ << ": " << run_ << " cells run, " << passed_
                  << " passed" << std::endl;
        ::testing::Test::RecordProperty("cells_run", run_);
        ::testing::Test::RecordProperty("cells_passed", passed_);
        EXPECT_GT(run_, 0);
        EXPECT_EQ(passed_, run_) << failures_;
    }

private:
    std::string part_;
    int run_ = 0;
    int passed_ = 0;
    std::string failures_;  // the first ten
};

// The user saves whatever waits, then the rest of the log arrives and is saved after it; in the
// end the CSV file holds the whole log once, and the program polls in the tray.
void FinishTheLog(ProgramRig& rig, Cell& cell, int stored) {
    const std::string target = rig.scratch.Path("out.csv");
    rig.files.failAt.reset();
    if (rig.state.UnsavedData) {
        rig.Save(target);
        cell.CheckSane(rig, "after saving what was kept");
    }
    if (stored < kReports) {
        // The station pauses, and the user sends the rest again.
        rig.hid.script.assign(1, FakeStep::Silence());
        cell.Check(rig.Tick(), "the pause: no poll");
        ScriptReports(rig, stored, kReports);
        cell.Check(rig.Tick(), "the rest: no poll");
        cell.CheckSane(rig, "after the rest arrived");
        cell.Check(rig.state.UnsavedData, "the rest: nothing to save");
        rig.Save(target, AppendAnswer::Append);
        cell.CheckSane(rig, "after saving the rest");
    }
    cell.Check(Contents(target) == kCsvHeader + Exported(0, kReports),
               "the CSV file does not hold the whole log once");
    cell.Check(!ScratchFolder::ReadFile(rig.CapturePath()), "capture left after the save");
}

enum class ReceptionFault { Removal, FailedWait, EmptyRead, DiskFull };
const char* const kReceptionFaultNames[] = {"adapter removed", "wait failed", "read without data",
                                            "capture disk full"};

Cell RunReceptionCell(ReceptionFault fault, int k) {
    Cell cell;
    ProgramRig rig;
    cell.Check(rig.Load(), "load did not reach the tray");
    switch (fault) {
        case ReceptionFault::Removal:
            ScriptReports(rig, 0, k, FakeStep::Removal());
            break;
        case ReceptionFault::FailedWait:
            ScriptReports(rig, 0, k, FakeStep::FailedWait());
            break;
        case ReceptionFault::EmptyRead:
            ScriptReports(rig, 0, k, FakeStep::EmptyCompletion());
            ScriptReports(rig, k, kReports);
            break;
        case ReceptionFault::DiskFull:
            ScriptReports(rig, 0, kReports);
            // The reception opens the capture, writes one report after another, and closes it:
            // the write of report k fails, or for k = 250 the close.
            rig.files.failAt = rig.files.ops.size() + 1 + static_cast<std::size_t>(k);
            break;
    }
    const std::size_t messages = rig.toolkit.messageBoxes.size();
    cell.Check(rig.Tick(), "no poll");
    cell.CheckSane(rig, "after the fault");

    const int stored = fault == ReceptionFault::EmptyRead ? kReports : k;
    cell.CheckCapture(rig, Captured(0, stored), "after the fault");
    const bool cutShort = fault != ReceptionFault::EmptyRead && stored > 0;
    cell.Check(rig.state.UnsavedData == (stored > 0), "UnsavedData does not match the capture");
    if (fault == ReceptionFault::DiskFull) {
        cell.Check(Cell::Messages(rig, messages, "could not be stored") == 1,
                   "the failed write was not reported");
        cell.Check(Cell::Messages(rig, messages, rig.CapturePath()) == 1,
                   "the report does not name the capture file");
    } else if (cutShort) {
        cell.Check(Cell::Messages(rig, messages, "interrupted") == 1,
                   "the interrupted transfer was not reported");
    } else {
        cell.Check(rig.toolkit.messageBoxes.size() == messages, "a message where none is due");
    }
    FinishTheLog(rig, cell, stored);
    return cell;
}

TEST(FaultMatrix, ReceptionKeepsEveryReportThatArrived) {
    Tally tally("reception faults after k of 250 reports");
    for (const ReceptionFault fault : {ReceptionFault::Removal, ReceptionFault::FailedWait,
                                       ReceptionFault::EmptyRead, ReceptionFault::DiskFull}) {
        for (int k = 0; k <= kReports; ++k) {
            tally.Add(std::string(kReceptionFaultNames[static_cast<int>(fault)]) +
                          ", k=" + std::to_string(k),
                      RunReceptionCell(fault, k));
        }
    }
    tally.Report();
}

// A capture file that cannot be opened while the station sends on: one message for the
// transfer, not one for every poll that meets the rest of it.
TEST(FaultMatrix, AnUnusableCaptureFileIsToldOncePerTransfer) {
    ProgramRig rig;
    ASSERT_TRUE(rig.Load());
    std::filesystem::create_directory(rig.CapturePath());
    for (int transfer = 0; transfer < 2; ++transfer) {
        SCOPED_TRACE(transfer);
        const std::size_t messages = rig.toolkit.messageBoxes.size();
        ScriptReports(rig, 0, 20);
        for (int poll = 0; poll < 30 && !rig.hid.script.empty(); ++poll) {
            rig.Tick();
        }
        EXPECT_TRUE(rig.hid.script.empty());
        EXPECT_EQ(Cell::Messages(rig, messages, rig.CapturePath()), 1);
        EXPECT_FALSE(rig.state.UnsavedData);
    }
}

// What the user does inside one of the program's yields.
enum class UserAction { ExitYes, ExitNo, MinimiseYes, MinimiseNo, Save };

const char* const kActionNames[] = {"exit, yes", "exit, no", "minimise, discard", "minimise, keep",
                                    "save"};

void Act(ProgramRig& rig, UserAction action) {
    switch (action) {
        case UserAction::ExitYes:
        case UserAction::ExitNo:
            rig.toolkit.QueueAnswer(action == UserAction::ExitYes ? vbYes : vbNo);
            rig.form->mPopExit_Click();
            return;
        case UserAction::MinimiseYes:
        case UserAction::MinimiseNo:
            rig.toolkit.QueueAnswer(action == UserAction::MinimiseYes ? vbYes : vbNo);
            rig.view.UserSetWindowState(WindowState::Minimized);
            return;
        case UserAction::Save:
            rig.forms.saveDialogAnswers.emplace_back(rig.scratch.Path("out.csv"));
            rig.form->cmdSave_Click();
            return;
    }
}

constexpr UserAction kActions[] = {UserAction::ExitYes, UserAction::ExitNo, UserAction::MinimiseYes,
                                   UserAction::MinimiseNo, UserAction::Save};

// The program ended on the user's word: the tray icon is gone and what had arrived is still in
// the capture file.
void CheckExited(const ProgramRig& rig, Cell& cell, const std::string& capture) {
    cell.Check(rig.view.destroyed, "exit confirmed but the program runs on");
    const auto& calls = rig.toolkit.trayCalls;
    cell.Check(std::count_if(calls.begin(), calls.end(),
                             [](const auto& call) { return call.message == NIM_DELETE; }) == 1,
               "the tray icon was not removed once");
    cell.CheckCapture(rig, capture, "after the exit");
}

bool Discarded(const ProgramRig& rig, std::size_t messages) {
    const auto& boxes = rig.toolkit.messageBoxes;
    return std::any_of(
        boxes.begin() + static_cast<std::ptrdiff_t>(messages), boxes.end(),
        [](const auto& box) { return box.prompt == kDiscardQuestion && box.answer == vbYes; });
}

// Runs a fresh rig through `setUp`, then `run` with one user action at one of the yields `run`
// makes, for every action at every such yield; `check` judges the outcome.
template <typename SetUp, typename Run, typename Check>
void AtEveryYield(Tally& tally, const std::string& what, SetUp setUp, Run run, Check check) {
    ProgramRig probe;
    setUp(probe);
    const int before = probe.toolkit.doEventsCount;
    run(probe);
    const int yields = probe.toolkit.doEventsCount - before;
    for (const UserAction action : kActions) {
        for (int n = 1; n <= yields; ++n) {
            Cell cell;
            ProgramRig rig;
            setUp(rig);
            const std::size_t messages = rig.toolkit.messageBoxes.size();
            rig.toolkit.QueueEventAtDoEvents(n, [&rig, action] { Act(rig, action); });
            run(rig);
            check(rig, cell, action, messages);
            tally.Add(
                what + kActionNames[static_cast<int>(action)] + " at yield " + std::to_string(n),
                cell);
        }
    }
}

// After a reception with the user's action inside it: the program ended only on the user's word
// and kept what had arrived, or dropped the data only once it had all arrived, or has the whole
// log, which the user can then save.
void CheckAfterReception(ProgramRig& rig, Cell& cell, UserAction action, std::size_t messages) {
    rig.forms.saveDialogAnswers.clear();
    cell.CheckSane(rig, "after the reception");
    // The script holds the reports not yet read, then the silence that ends the log.
    const int arrived = kReports + 1 - std::max(1, static_cast<int>(rig.hid.script.size()));
    if (rig.view.destroyed) {
        cell.Check(action == UserAction::ExitYes || !rig.state.UnsavedData || arrived == 0,
                   "the program ended without the user's word");
        CheckExited(rig, cell, Captured(0, arrived));
    } else if (Discarded(rig, messages)) {
        cell.Check(arrived == kReports, "data discarded while it was still arriving");
        cell.Check(!ScratchFolder::ReadFile(rig.CapturePath()), "discarded data kept");
    } else {
        cell.Check(arrived == kReports, "the reception stopped early");
        if (!ScratchFolder::ReadFile(rig.scratch.Path("out.csv"))) {
            cell.CheckCapture(rig, Captured(0, kReports), "after the reception");
        }
        FinishTheLog(rig, cell, kReports);
    }
}

TEST(FaultMatrix, UserActionsDuringAReception) {
    Tally tally("exit, minimise and save at every yield of a reception");
    const auto setUp = [](ProgramRig& rig) {
        rig.Load();
        ScriptReports(rig, 0, kReports);
    };
    AtEveryYield(
        tally, "", setUp, [](ProgramRig& rig) { rig.Tick(); }, CheckAfterReception);
    tally.Report();
}

const std::string kEarlier = std::string(kCsvHeader) + "earlier,data\r\n";

// How the save finds its target, what the target holds before, and what it should hold after.
struct ExportCase {
    const char* name;
    bool exists;
    AppendAnswer answer;

    std::optional<std::string> Before() const {
        return exists ? std::optional<std::string>(kEarlier) : std::nullopt;
    }
    std::string After(int reports) const {
        return (exists && answer == AppendAnswer::Append ? kEarlier : std::string(kCsvHeader)) +
               Exported(0, reports);
    }
};
const ExportCase kExportCases[] = {
    {"new file", false, AppendAnswer::Append},
    {"append", true, AppendAnswer::Append},
    {"overwrite", true, AppendAnswer::Overwrite},
};

// A whole log received, the window up, and the target prepared; returns the target's path.
std::string PrepareSave(ProgramRig& rig, const ExportCase& target, int reports) {
    rig.Load();
    ScriptReports(rig, 0, reports);
    rig.Tick();
    const std::string path = rig.scratch.Path("out.csv");
    if (target.exists) {
        ScratchFolder::WriteFile(path, kEarlier);
    }
    return path;
}

TEST(FaultMatrix, UserActionsDuringAnExport) {
    Tally tally("exit, minimise and save at every yield of an export");
    for (const ExportCase& target : kExportCases) {
        const auto setUp = [&target](ProgramRig& rig) { PrepareSave(rig, target, kReports); };
        const auto run = [&target](ProgramRig& rig) {
            rig.Save(rig.scratch.Path("out.csv"), target.answer);
        };
        AtEveryYield(tally, std::string(target.name) + ", ", setUp, run,
                     [&target](ProgramRig& rig, Cell& cell, UserAction action, std::size_t) {
                         const std::string path = rig.scratch.Path("out.csv");
                         cell.CheckSane(rig, "after the save");
                         if (rig.view.destroyed) {
                             cell.Check(action == UserAction::ExitYes || !rig.state.UnsavedData,
                                        "the program ended without the user's word");
                             if (rig.state.UnsavedData) {
                                 CheckExited(rig, cell, Captured(0, kReports));
                                 cell.Check(ScratchFolder::ReadFile(path) == target.Before(),
                                            "the target was left half written");
                             } else {
                                 cell.Check(Contents(path) == target.After(kReports),
                                            "saved, then exited: the target is wrong");
                             }
                         } else {
                             if (rig.state.UnsavedData) {
                                 rig.Save(path, target.answer);
                                 cell.CheckSane(rig, "after saving again");
                             }
                             cell.Check(Contents(path) == target.After(kReports),
                                        "the target does not hold the log once");
                             cell.Check(!ScratchFolder::ReadFile(rig.CapturePath()),
                                        "capture left");
                         }
                     });
    }
    tally.Report();
}

TEST(FaultMatrix, ExportFailingAtEachStepKeepsTheData) {
    Tally tally("export failing at each file operation");
    // More than one block of the export's copy.
    constexpr int kLongLog = 9000;
    for (const ExportCase& target : kExportCases) {
        std::vector<std::string> steps;
        {
            ProgramRig rig;
            const std::string path = PrepareSave(rig, target, kLongLog);
            const std::size_t first = rig.files.ops.size();
            rig.Save(path, target.answer);
            steps.assign(rig.files.ops.begin() + static_cast<std::ptrdiff_t>(first),
                         rig.files.ops.end());
        }
        for (std::size_t i = 0; i < steps.size(); ++i) {
            Cell cell;
            ProgramRig rig;
            const std::string path = PrepareSave(rig, target, kLongLog);
            rig.files.failAt = rig.files.ops.size() + i;
            const std::size_t messages = rig.toolkit.messageBoxes.size();
            rig.Save(path, target.answer);
            cell.CheckSane(rig, "after the failed save");
            cell.Check(rig.state.UnsavedData, "a failed save cleared UnsavedData");
            cell.Check(Cell::Messages(rig, messages, "could not be saved") == 1,
                       "the failure was not reported");
            cell.CheckCapture(rig, Captured(0, kLongLog), "after the failed save");
            cell.Check(ScratchFolder::ReadFile(path) == target.Before(),
                       "the target was not put back");
            rig.files.failAt.reset();
            rig.Save(path, target.answer);
            cell.CheckSane(rig, "after saving again");
            cell.Check(Contents(path) == target.After(kLongLog),
                       "saving again did not write the log once");
            tally.Add(std::string(target.name) + ", " + steps[i] + " (step " + std::to_string(i) +
                          ") fails",
                      cell);
        }
    }
    tally.Report();
}

}  // namespace
}  // namespace vr::test
