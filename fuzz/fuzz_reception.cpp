// Report streams and the user's actions in any order, through the whole program on the scripted
// HID platform: nothing crashes, nothing is left open, the capture file holds exactly the reports
// that arrived since the last save or discard, and every save writes them into the CSV file once.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "mainwindow/frmMain.h"
#include "saving/ExportCaptureFile.h"
#include "support/ProgramRig.h"

namespace vr::fuzz {
namespace {

using test::ProgramRig;
using test::ScratchFolder;

std::string Filtered(const std::string& bytes) {
    std::string kept;
    for (const char c : bytes) {
        if (c != '\x00' && c != '\xFF') {
            kept += c;
        }
    }
    return kept;
}

// The user's action inside the DoEvents the fuzzer picked.
void Act(ProgramRig& rig, std::uint8_t what) {
    switch (what % 5) {
        case 0:
        case 1:
            rig.toolkit.QueueAnswer(what % 5 == 0 ? vbYes : vbNo);
            rig.form->mPopExit_Click();
            break;
        case 2:
        case 3:
            rig.toolkit.QueueAnswer(what % 5 == 2 ? vbYes : vbNo);
            rig.view.UserSetWindowState(WindowState::Minimized);
            break;
        default:
            rig.forms.saveDialogAnswers.emplace_back(rig.scratch.Path("out.csv"));
            rig.form->cmdSave_Click();
            break;
    }
}

class Run {
public:
    explicit Run(FuzzInput& in) : in_(in) { rig_.PlugIn(); }

    void Go() {
        Require(rig_.Load(), "load did not reach the tray");
        int steps = 0;
        while (!in_.Empty() && !rig_.view.destroyed && ++steps < 96) {
            Step();
        }
        for (int i = 0; i < 8 && !rig_.hid.script.empty() && !rig_.view.destroyed; ++i) {
            Tick();
        }
    }

private:
    void Step() {
        const std::uint8_t op = in_.Byte();
        switch (op % 10) {
            case 0:
            case 1:
            case 2:
            case 3: {
                const std::uint8_t id = in_.Byte();
                std::array<std::uint8_t, 8> payload{};
                for (auto& byte : payload) {
                    byte = in_.Byte();
                }
                rig_.hid.script.push_back(FakeStep::Report(id, payload));
                break;
            }
            case 4:
                rig_.hid.script.push_back(FakeStep::Silence());
                break;
            case 5:
                rig_.hid.script.push_back(FakeStep::Removal());
                break;
            case 6:
                rig_.hid.script.push_back(FakeStep::FailedWait());
                break;
            case 7: {
                constexpr std::uint32_t kErrors[] = {0, ERROR_OPERATION_ABORTED,
                                                     ERROR_DEVICE_NOT_CONNECTED};
                rig_.hid.script.push_back(FakeStep::EmptyCompletion(kErrors[in_.Byte() % 3]));
                break;
            }
            case 8: {
                const int n = 1 + in_.Byte() % 12;
                const std::uint8_t what = in_.Byte();
                rig_.toolkit.QueueEventAtDoEvents(n, [this, what] { Act(rig_, what); });
                break;
            }
            default:
                Tick();
                if (rig_.state.UnsavedData && !rig_.view.destroyed && in_.Bool()) {
                    Save();
                }
                break;
        }
    }

    void Tick() {
        const auto before = rig_.hid.script;
        rig_.Tick();
        // The reports this tick consumed arrived, in order.
        const std::size_t consumed = before.size() - rig_.hid.script.size();
        for (std::size_t i = 0; i < consumed; ++i) {
            if (before[i].kind == FakeStep::Kind::Report) {
                captured_.append(before[i].report.begin() + 1, before[i].report.end());
            }
        }
        // The adapter is plugged in again.
        while (!rig_.hid.script.empty() &&
               rig_.hid.script.front().kind == FakeStep::Kind::Removal) {
            rig_.hid.script.pop_front();
        }
        rig_.forms.saveDialogAnswers.clear();
        Check();
    }

    void Save() {
        rig_.Save(rig_.scratch.Path("out.csv"), headless::AppendAnswer::Append);
        Check();
    }

    // Whether the reports that arrived (`captured_`) are all in their place: the capture holds the
    // newest of them; the older ones were saved, once and in order (filler bytes aside), into
    // `written`. Only the user's discard removes reports that were not saved: without one, the
    // saves took all the older reports; with one, they took some runs of them.
    bool Accounted(const std::string& written, const std::string& capture, bool discarded) const {
        for (std::size_t kept = 0; kept <= captured_.size(); kept += 8) {
            if (captured_.compare(kept, std::string::npos, capture) != 0) {
                continue;
            }
            if (!discarded) {
                if (Filtered(captured_.substr(0, kept)) == written) {
                    return true;
                }
                continue;
            }
            // How much of `written` some choice of the older reports gives.
            std::vector<bool> reach(written.size() + 1, false);
            reach[0] = true;
            for (std::size_t at = 0; at < kept; at += 8) {
                const std::string data = Filtered(captured_.substr(at, 8));
                for (std::size_t p = written.size() + 1; p-- > 0;) {
                    if (reach[p] && written.compare(p, data.size(), data) == 0) {
                        reach[p + data.size()] = true;
                    }
                }
            }
            if (reach[written.size()]) {
                return true;
            }
        }
        return false;
    }

    int Discards() const {
        int discards = 0;
        for (const auto& box : rig_.toolkit.messageBoxes) {
            discards += box.prompt == kDiscardQuestion && box.answer == vbYes ? 1 : 0;
        }
        return discards;
    }

    void Check() {
        Require(rig_.hid.OpenHandleCount() == 0, "handles left open");
        Require(!rig_.hid.ReadPending(), "read left outstanding");
        Require(!rig_.state.CaptureFileOpen, "capture left open");
        Require(rig_.view.usesAfterDestroy == 0, "window used after it was destroyed");
        Require(rig_.hid.priorityClass == NORMAL_PRIORITY_CLASS, "priority left raised");
        const std::string capture = ScratchFolder::ReadFile(rig_.CapturePath()).value_or("");
        const auto csv = ScratchFolder::ReadFile(rig_.scratch.Path("out.csv"));
        // What the saves of this tick added to the CSV file; a save never changes what the file
        // held before it.
        std::string written;
        if (csv) {
            const std::string base = savedCsv_.empty() ? std::string(kCsvHeader) : savedCsv_;
            Require(csv->starts_with(base), "the CSV file lost what it held");
            written = csv->substr(base.size());
            savedCsv_ = *csv;
        }
        Require(Accounted(written, capture, Discards() > discards_),
                "the reports that arrived are not where they belong");
        captured_ = capture;
        discards_ = Discards();
        if (rig_.view.destroyed) {
            return;
        }
        if (rig_.state.UnsavedData) {
            Require(rig_.view.visible, "data waits but the window is hidden");
            Require(!captured_.empty(), "data waits but the capture is empty");
        } else {
            Require(!rig_.view.visible && rig_.view.timerEnabled, "not polling without data");
            Require(captured_.empty(), "captured data cannot be saved");
        }
    }

    FuzzInput& in_;
    ProgramRig rig_;
    std::string captured_;
    std::string savedCsv_;
    int discards_ = 0;
};

}  // namespace
}  // namespace vr::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vr::fuzz::FuzzInput in(data, size);
    vr::fuzz::Run(in).Go();
    return 0;
}
