#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "headless/HeadlessMainWindow.h"
#include "headless/HeadlessToolkit.h"
#include "mainwindow/frmMain.h"
#include "shared/Errors.h"
#include "shared/ProgramState.h"
#include "support/NativeFileSystem.h"
#include "support/StubAdapter.h"

namespace vr::mwtest {

// A fresh folder for one test, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }  // ends in '/'

private:
    std::string path_;
};

// The system's real files, with the temporary folder in a scratch folder, counting the look-ups.
class ScratchFileSystem : public FileSystem {
public:
    explicit ScratchFileSystem(std::string tempFolder) : tempFolder_(std::move(tempFolder)) {}
    std::string TempFolder() override { return tempFolder_; }
    bool FileExists(const std::string& pattern) override {
        ++fileExistsCalls;
        return native_->FileExists(pattern);
    }
    void DeleteFile(const std::string& path) override {
        if (!deleteFailure.empty()) {
            throw FileError(path, deleteFailure);
        }
        native_->DeleteFile(path);
    }
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override {
        return native_->OpenCaptureForAppend(path);
    }
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override {
        return native_->OpenTarget(path);
    }
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override {
        return native_->OpenForReading(path);
    }
    std::string CurrentFolder() override { return native_->CurrentFolder(); }
    int fileExistsCalls = 0;
    std::string deleteFailure;  // when set, deletions fail with this cause

private:
    std::unique_ptr<FileSystem> native_ = test::NewNativeFileSystem();
    std::string tempFolder_;
};

void WriteFile(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
std::string ReadFile(const std::string& path);

// The main window with a headless screen, real files in a scratch folder and scripted adapters.
// The view's hooks reach the form's handlers as the Qt and Win32 backends wire them.
struct MainWindowRig {
    MainWindowRig();

    ScratchFolder scratch;
    ScratchFileSystem files{scratch.Path()};
    headless::HeadlessMainWindow view;
    headless::HeadlessToolkit toolkit;
    ProgramState state;
    std::vector<std::string> log;  // adapter calls and reception steps, in order
    StubAdapters adapters{log};
    int saveCommands = 0;
    int aboutBoxes = 0;
    bool saveBusy = false;         // what the save command reports while it writes
    std::function<void()> onSave;  // what the save command does (after counting)
    frmMain form;

    std::string CapturePath() const { return scratch.Path() + kCaptureFileName; }
    std::string IconKey() const { return toolkit.KeyOfIcon(view.icon); }
    std::vector<std::uint32_t> TrayMessages() const;
    int CountTray(std::uint32_t message) const;
    // A tray event as the shell reports it: a mouse move whose x is the message number.
    void TrayEvent(int message) { form.Form_MouseMove(0, 0, static_cast<float>(message), 0); }
    // Polls once per reception of `reports` reports while the adapter is present.
    void ReceiveOnRead(int reports);
    // Load and one tick, finding the adapter absent: in the tray, polling.
    void LoadIntoTray();
};

}  // namespace vr::mwtest
