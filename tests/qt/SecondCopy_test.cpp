// A second copy of the desktop program started beside a running one.
#include <gtest/gtest.h>

#include <QMessageBox>
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

TEST(SecondCopy, IsToldAndLeavesTheFirstCopysUnsavedDataAlone) {
    const ScratchFolder folder;
    TestFileSystem files{folder.Path()};
    FakeHidPlatform hid;
    const std::string capture = folder.Path(kCaptureFileName);
    ScratchFolder::WriteFile(capture, "unsaved reports");
    auto first = std::make_unique<CaptureFileLock>(capture);

    DesktopProgram second({hid, hid, files});
    QString text;
    ModalScript script({{"msgBox", [&](QWidget* widget) {
                             auto* box = static_cast<QMessageBox*>(widget);
                             text = box->text();
                             box->button(QMessageBox::Ok)->click();
                         }}});
    EXPECT_FALSE(second.Start());
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(text, desktop::kAlreadyRunningNoTrayMessage) << "no tray on this desktop";
    SpinUntil([] { return false; }, 100);
    EXPECT_FALSE(second.Main().Loaded());
    EXPECT_EQ(ScratchFolder::ReadFile(capture), "unsaved reports");

    // Once the first copy has ended, a new one starts as usual.
    first.reset();
    DesktopProgram third({hid, hid, files});
    EXPECT_TRUE(third.Start());
    EXPECT_TRUE(SpinUntil([&] { return third.Main().Loaded(); }));
}

}  // namespace
}  // namespace vr::qttest
