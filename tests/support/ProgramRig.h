#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "headless/HeadlessForms.h"
#include "headless/HeadlessMainWindow.h"
#include "headless/HeadlessToolkit.h"
#include "mainwindow/frmMain.h"
#include "platform/fake/FakeHidPlatform.h"
#include "posix/PosixFileSystem.h"
#include "saving/SaveCommand.h"
#include "shared/FileSystem.h"
#include "shared/ProgramState.h"
#include "support/ScratchFolder.h"

namespace vr::test {

// Passes every file operation to another file system and logs it ("open-append vrtemp.csv",
// "write out.csv", "close ...", "open-target", "open-read", "delete"), failing the one whose
// position in the log is `failAt`. A failing write stores the first half of its bytes first, as
// a disk that fills up does; a failing close closes the file first.
class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(FileSystem& inner) : inner_(inner) {}

    std::vector<std::string> ops;
    std::optional<std::size_t> failAt;

    std::string TempFolder() override { return inner_.TempFolder(); }
    bool FileExists(const std::string& pattern) override { return inner_.FileExists(pattern); }
    void DeleteFile(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override;
    std::string CurrentFolder() override { return inner_.CurrentFolder(); }

    // Logs `op` on `path`; true when this is the operation that fails.
    bool Step(const std::string& op, const std::string& path);

private:
    FileSystem& inner_;
};

// The real POSIX files with the temporary folder in a scratch folder.
class ScratchPosixFileSystem : public posix::PosixFileSystem {
public:
    explicit ScratchPosixFileSystem(std::string tempFolder) : temp_(std::move(tempFolder)) {}
    std::string TempFolder() override { return temp_; }

private:
    std::string temp_;
};

// The whole program as the desktop composition wires it, on the headless toolkit, the scripted
// HID platform with the adapter plugged in, and real files in a scratch folder.
struct ProgramRig {
    ProgramRig();
    ProgramRig(const ProgramRig&) = delete;
    ProgramRig& operator=(const ProgramRig&) = delete;

    ScratchFolder scratch;
    ScratchPosixFileSystem posix{scratch.Path("")};
    FaultyFileSystem files{posix};
    FakeHidPlatform hid;
    headless::HeadlessMainWindow view;
    headless::HeadlessToolkit toolkit;
    headless::HeadlessForms forms;
    ProgramState state;
    std::unique_ptr<frmMain> form;
    std::unique_ptr<SaveCommand> save;

    std::string CapturePath() const { return scratch.Path("vrtemp.csv"); }
    std::string IconKey() const { return toolkit.KeyOfIcon(view.icon); }
    // Load into the tray; true when the window is hidden and the timer runs.
    bool Load();
    // One tick of the polling timer; false when the timer was not running.
    bool Tick() { return view.FireTimer(); }
    // Clicks Save and picks `target` in the dialog (and `answer` if it asks about appending).
    void Save(const std::string& target,
              headless::AppendAnswer answer = headless::AppendAnswer::Append);
};

}  // namespace vr::test
