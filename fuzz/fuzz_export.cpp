// The export of arbitrary captures: the CSV file is the header (or the old content when
// appending) followed by the capture less its 0x00 and 0xFF bytes, the capture is deleted, and
// the progress texts count up to the total once.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "platform/headless/HeadlessForms.h"
#include "platform/headless/HeadlessToolkit.h"
#include "platform/posix/PosixFileSystem.h"
#include "saving/ExportCaptureFile.h"
#include "support/ScratchFolder.h"
#include "support/TestWindow.h"

namespace vr::fuzz {
namespace {

using test::ScratchFolder;

void CheckTexts(const std::vector<std::string>& texts, std::size_t captureSize) {
    const std::size_t total = (captureSize + 1) / 100;
    Require(!texts.empty(), "no progress text");
    Require(texts.front() == "0% completed ( 0 of " + std::to_string(total) + " )",
            "wrong first progress text");
    Require(texts.size() == total + 1, "not one progress text per step");
    long lastPercent = 0;
    for (std::size_t step = 1; step < texts.size(); ++step) {
        const std::string tail =
            "% completed (" + std::to_string(step) + " of " + std::to_string(total) + ")";
        const std::string& text = texts[step];
        Require(text.size() > tail.size() &&
                    text.compare(text.size() - tail.size(), tail.size(), tail) == 0,
                "progress text out of step");
        const long percent = std::stol(text.substr(0, text.size() - tail.size()));
        Require(percent >= lastPercent && percent <= 100, "progress went back or beyond 100");
        lastPercent = percent;
    }
    Require(total == 0 || lastPercent == 100, "progress did not end at 100");
}

}  // namespace
}  // namespace vr::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vr;
    using namespace vr::fuzz;
    static ScratchFolder scratch;
    const std::string capture = scratch.Path("vrtemp.csv");
    const std::string target = scratch.Path("out.csv");
    std::remove(target.c_str());

    FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    const bool append = (flags & 1) != 0;
    const bool targetExists = (flags & 2) != 0;
    const std::string old = in.Text(64);
    const std::string bytes = in.Rest();
    ScratchFolder::WriteFile(capture, bytes);
    if (targetExists) {
        ScratchFolder::WriteFile(target, old);
    }

    ::setenv("XDG_STATE_HOME", scratch.Path("state").c_str(), 1);  // the journals stay in here
    posix::PosixFileSystem files;
    headless::HeadlessToolkit toolkit;
    headless::HeadlessForms forms;
    ProgramState state;
    test::TestWindow window(toolkit, state);
    const ExportOutcome outcome = ExportCaptureFile(files, forms, window, capture, target, append);
    Require(outcome == ExportOutcome::Completed, "export did not complete");

    std::string expected = append ? (targetExists ? old : "") : std::string(kCsvHeader);
    for (const char c : bytes) {
        if (c != '\x00' && c != '\xFF') {
            expected += c;
        }
    }
    Require(ScratchFolder::ReadFile(target) == expected, "CSV is not header + filtered capture");
    Require(!ScratchFolder::ReadFile(capture), "capture not deleted");
    Require(forms.progressForms.size() == 1 && forms.progressForms[0]->unloaded,
            "progress form not shown once and unloaded");
    CheckTexts(forms.progressForms[0]->statusTexts, bytes.size());
    return 0;
}
