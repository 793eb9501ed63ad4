// A second copy of the desktop program started beside a running one.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <filesystem>
#include <memory>

#include "DesktopProgram.h"
#include "ModalScript.h"
#include "platform/fake/FakeHidPlatform.h"
#include "shared/CaptureFileLock.h"
#include "support/TestFileSystem.h"

namespace vr::qttest {
namespace {

using desktop::DesktopProgram;
using test::ScratchFolder;
using test::TestFileSystem;

// A copy that finds the lock held by another, or cannot take it at all (here a folder in the lock
// file's place), says why and ends before it deletes, polls or appends anything; when the holder
// is verada-rede-cli watch, it says so and how to stop it.
TEST(SecondCopy, IsToldAndLeavesTheFirstCopysUnsavedDataAlone) {
    const ScratchFolder folder;
    TestFileSystem files{folder.Path()};
    FakeHidPlatform hid;
    const std::string capture = folder.Path(kCaptureFileName);
    ScratchFolder::WriteFile(capture, "unsaved reports");
    const std::string lockPath = CaptureStatePath(files, capture, ".lock");
    std::filesystem::create_directory(lockPath);
    const std::string unusable = folder.Path().string() + " cannot be used";
    auto first = LockCapture(files, capture);  // fails: the folder is in the way
    for (const std::string& told :
         {unusable, std::string(desktop::kAlreadyRunningNoTrayMessage), WatchRunningMessage()}) {
        if (told == WatchRunningMessage()) {
            first.reset();
            first = LockCapture(files, capture, CaptureFileLock::Holder::Watch);
        }
        DesktopProgram second({hid, hid, files});
        QString text;
        ModalScript script({{"msgBox", [&](QWidget* widget) {
                                 auto* box = static_cast<QMessageBox*>(widget);
                                 text = box->text();
                                 box->button(QMessageBox::Ok)->click();
                             }}});
        EXPECT_FALSE(second.Start());
        EXPECT_TRUE(script.Finished());
        EXPECT_TRUE(text.toStdString().find(told) != std::string::npos) << text.toStdString();
        SpinUntil([] { return false; }, 100);
        EXPECT_FALSE(second.Main().Loaded());
        EXPECT_EQ(ScratchFolder::ReadFile(capture), "unsaved reports");
        if (std::filesystem::is_directory(lockPath)) {  // now the first copy runs
            std::filesystem::remove(lockPath);
            first = LockCapture(files, capture);
        }
    }

    // Once the first copy has ended, a new one starts as usual.
    first.reset();
    DesktopProgram third({hid, hid, files});
    EXPECT_TRUE(third.Start());
    EXPECT_TRUE(SpinUntil([&] { return third.Main().Loaded(); }));
}

}  // namespace
}  // namespace vr::qttest
