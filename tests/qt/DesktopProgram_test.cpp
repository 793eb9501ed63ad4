#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "DesktopProgram.h"
#include "ModalScript.h"
#include "platform/fake/FakeHidPlatform.h"
#include "platform/qt/QtToolkit.h"
#include "support/TestFileSystem.h"

namespace vr::qttest {
namespace {

using desktop::DesktopProgram;

// The whole program on the real Qt widgets, with a scripted adapter and real files in a fresh
// folder that serves as the temporary folder and the current folder. The demo smoke test runs it
// on a real screen and tray: transfer, Save through the dialog, Exit from the tray menu.
class ProgramTest : public ::testing::Test {
protected:
    DesktopProgram& Make(std::function<std::optional<std::string>()> diagnosis) {
        program = std::make_unique<DesktopProgram>(
            desktop::Platform{hid, hid, files, std::move(diagnosis)});
        return *program;
    }
    void Load() {
        program->Start();
        ASSERT_TRUE(SpinUntil([this] { return program->Main().Loaded(); }));
    }

    FakeHidPlatform hid;
    ScratchFolder folder;
    TestFileSystem files{folder.Path()};
    std::unique_ptr<DesktopProgram> program;
};

// Left and right clicks on the tray icon arrive as the button releases that open the tray menu;
// the demo smoke test opens it on a real tray.
TEST(TrayEvents, ClicksArriveAsTheMouseMessagesOfTheShell) {
    EXPECT_EQ(qt::TrayEventNumber(QSystemTrayIcon::Trigger), 0x202);
    EXPECT_EQ(qt::TrayEventNumber(QSystemTrayIcon::Context), 0x205);
    EXPECT_EQ(qt::TrayEventNumber(QSystemTrayIcon::DoubleClick), 0x203);
    EXPECT_EQ(qt::TrayEventNumber(QSystemTrayIcon::MiddleClick), 0x208);
    EXPECT_EQ(qt::TrayEventNumber(QSystemTrayIcon::Unknown), 0x200);
}

TEST_F(ProgramTest, TellsThePermissionDiagnosisOncePlainly) {
    int asked = 0;
    DesktopProgram& p = Make([&asked]() -> std::optional<std::string> {
        return ++asked == 2 ? std::optional<std::string>("You may not open the adapter.")
                            : std::nullopt;
    });
    QString text;
    ModalScript script({{"msgBox", [&](QWidget* widget) {
                             auto* box = static_cast<QMessageBox*>(widget);
                             text = box->text();
                             EXPECT_EQ(box->windowTitle(), "Verada Rede");
                             box->button(QMessageBox::Ok)->click();
                         }}});
    Load();
    ASSERT_TRUE(SpinUntil([&] { return asked > 10; }));
    EXPECT_TRUE(script.Finished()) << "one box, answered";
    EXPECT_EQ(text, "You may not open the adapter.");
    EXPECT_TRUE(p.Window().TimerEnabled()) << "polling goes on";
}

// What a screen reader reads of the main window: the status picture named by its state, and the
// received data told on the Save button, which Enter presses; after the save, where it went.
TEST_F(ProgramTest, TellsTheStatusAndTheWaitingDataInWordsAndWhereItWasSaved) {
    Make([] { return std::nullopt; });
    Load();
    qt::QtMainWindow& window = program->Window();
    auto* picture = window.findChild<QLabel*>("Image1");
    EXPECT_TRUE(SpinUntil([&] { return picture->accessibleName() == "No adapter"; }));
    EXPECT_EQ(picture->accessibleDescription(),
              "No adapter: waiting for the infrared adapter to be plugged in.");

    hid.AddInterface("/dev/hidraw0", AdapterVendorId, AdapterProductId);
    for (std::uint8_t line = 0; line < 3; ++line) {
        hid.script.push_back(FakeStep::Report(0, {'4', '2', line, '\r', '\n', 0, 0, 0}));
    }
    // Without a tray (offscreen) the window waits minimised on the taskbar.
    ASSERT_TRUE(SpinUntil([&] { return window.GetWindowState() == WindowState::Normal; }));
    const QString received = "Received 3 reports from the docking station; not saved yet.";
    EXPECT_EQ(picture->accessibleName(), "Paused");
    EXPECT_EQ(window.saveButton()->accessibleDescription(), received);
    EXPECT_TRUE(window.accessibleDescription().endsWith(received));

    const QString target = QString::fromStdString((folder.Path() / "log.csv").string());
    ModalScript script({{"saveDialog", [&](QWidget* dialog) {
                             dialog->findChild<QLineEdit*>("fileNameEdit")->setText(target);
                             static_cast<QDialog*>(dialog)->accept();
                         }}});
    window.saveButton()->setFocus();
    QTest::keyClick(window.saveButton(), Qt::Key_Return);
    EXPECT_TRUE(script.Finished());
    ASSERT_TRUE(SpinUntil([&] { return window.GetWindowState() == WindowState::Minimized; }));
    EXPECT_TRUE(window.accessibleDescription().endsWith("Last saved in " + target + "."))
        << window.accessibleDescription().toStdString();
}

}  // namespace
}  // namespace vr::qttest
