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

// Shows `program` starting; the text of the message it gave, or "" when it started.
QString StartText(DesktopProgram& program) {
    QString text;
    ModalScript script({{"msgBox", [&](QWidget* widget) {
                             auto* box = static_cast<QMessageBox*>(widget);
                             text = box->text();
                             box->button(QMessageBox::Ok)->click();
                         }}});
    EXPECT_FALSE(program.Start());
    EXPECT_TRUE(script.Finished());
    return text;
}

TEST(SecondCopy, IsToldAndLeavesTheFirstCopysUnsavedDataAlone) {
    const ScratchFolder folder;
    TestFileSystem files{folder.Path()};
    FakeHidPlatform hid;
    const std::string capture = folder.Path(kCaptureFileName);
    ScratchFolder::WriteFile(capture, "unsaved reports");
    auto first = std::make_unique<CaptureFileLock>(capture);

    DesktopProgram second({hid, hid, files});
    EXPECT_EQ(StartText(second), kAlreadyRunningMessage);
    SpinUntil([] { return false; }, 100);
    EXPECT_FALSE(second.Main().Loaded());
    EXPECT_EQ(ScratchFolder::ReadFile(capture), "unsaved reports");

    // Once the first copy has ended, a new one starts as usual.
    first.reset();
    DesktopProgram third({hid, hid, files});
    EXPECT_TRUE(third.Start());
    EXPECT_TRUE(SpinUntil([&] { return third.Main().Loaded(); }));
}

// A lock that cannot be taken (here a folder in the lock file's place) fails closed: the program
// says why and ends before it deletes, polls or appends anything.
TEST(SecondCopy, ALockThatCannotBeTakenEndsTheProgramBeforeItTouchesTheCapture) {
    const ScratchFolder folder;
    TestFileSystem files{folder.Path()};
    FakeHidPlatform hid;
    const std::string capture = folder.Path(kCaptureFileName);
    ScratchFolder::WriteFile(capture, "unsaved reports");
    std::filesystem::create_directory(capture + ".lock");

    DesktopProgram program({hid, hid, files});
    const QString text = StartText(program);
    EXPECT_TRUE(text.contains(QString::fromStdString(folder.Path().string())))
        << text.toStdString();
    SpinUntil([] { return false; }, 100);
    EXPECT_FALSE(program.Main().Loaded());
    EXPECT_EQ(ScratchFolder::ReadFile(capture), "unsaved reports");
}

}  // namespace
}  // namespace vr::qttest
