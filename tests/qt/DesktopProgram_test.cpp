#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "DesktopProgram.h"
#include "ModalScript.h"
#include "platform/fake/FakeHidPlatform.h"
#include "shared/StatusKeys.h"
#include "support/TestFileSystem.h"

namespace vr::qttest {
namespace {

using desktop::DesktopProgram;

// The whole program on the real Qt widgets, with a scripted adapter and real files in a fresh
// folder that serves as the temporary folder and the current folder.
class ProgramTest : public ::testing::Test {
protected:
    DesktopProgram& Make(std::function<std::optional<std::string>()> diagnosis = [] {
        return std::nullopt;
    }) {
        program = std::make_unique<DesktopProgram>(
            desktop::Platform{hid, hid, files, std::move(diagnosis)});
        return *program;
    }
    void Load() {
        program->Start();
        ASSERT_TRUE(SpinUntil([this] { return program->Main().Loaded(); }));
    }
    bool Shows(const char* key) {
        return program->Window().GetIcon() == program->Toolkit().StatusImage(key);
    }
    void PlugInAdapter(std::deque<FakeStep> script) {
        FakeHidInterface& adapter = hid.interfaces.emplace_back();
        adapter.path = "/dev/hidraw3";
        adapter.vendor = 0x11D2;
        adapter.product = 0x0001;
        hid.script = std::move(script);
    }

    FakeHidPlatform hid;
    ScratchFolder folder;
    TestFileSystem files{folder.Path()};
    std::unique_ptr<DesktopProgram> program;
};

TEST_F(ProgramTest, ReceivesATransferSavesItAsCsvAndGoesBackToPolling) {
    DesktopProgram& p = Make();
    qt::QtMainWindow& window = p.Window();
    Load();
    // No tray on this desktop: the window waits minimised on the taskbar instead.
    EXPECT_TRUE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(SpinUntil([&] { return Shows(keyDisconnected); }));

    PlugInAdapter({FakeStep::Report(0, {'1', '0', ',', '2', '0', '\r', '\n', 0x00}),
                   FakeStep::Report(0, {'3', '0', ',', 0xFF, '4', '0', '\r', '\n'}),
                   FakeStep::Silence()});
    ASSERT_TRUE(SpinUntil([&] {
        return p.State().UnsavedData && window.isVisible() &&
               window.GetWindowState() == WindowState::Normal;
    }));
    EXPECT_TRUE(Shows(keyPaused));

    ModalScript script({{"saveDialog", [this](QWidget* widget) {
                             auto* dialog = static_cast<QFileDialog*>(widget);
                             // Typed into the name box, as a user does.
                             dialog->findChild<QLineEdit*>("fileNameEdit")
                                 ->setText(QString::fromStdString(folder.Path() / "report"));
                             static_cast<QDialog*>(dialog)->accept();
                         }}});
    QTest::mouseClick(window.saveButton(), Qt::LeftButton);
    ASSERT_TRUE(script.Finished()) << script.Seen().join(",").toStdString();

    EXPECT_EQ(ScratchFolder::ReadFile(folder.Path() / "report.csv"),
              "Zorvik Technologies Verada logfile\r\n10,20\r\n30,40\r\n");
    EXPECT_TRUE(window.isMinimized());

    const int pollsBefore = hid.Count("HidD_GetHidGuid");
    ASSERT_TRUE(SpinUntil([&] { return hid.Count("HidD_GetHidGuid") > pollsBefore + 2; }));
    EXPECT_TRUE(Shows(keyConnected));

    EXPECT_EQ(RunUntilExit([&] { QTest::mouseClick(window.exitButton(), Qt::LeftButton); }), 0);
    EXPECT_TRUE(window.destroyed());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ProgramTest, TrayClicksOfEitherButtonOpenTheMenuAndOthersDoNothing) {
    DesktopProgram& p = Make();
    struct Case {
        QSystemTrayIcon::ActivationReason reason;
        bool opensMenu;
    };
    for (const Case& c :
         {Case{QSystemTrayIcon::Trigger, true}, Case{QSystemTrayIcon::Context, true},
          Case{QSystemTrayIcon::DoubleClick, false}, Case{QSystemTrayIcon::MiddleClick, false},
          Case{QSystemTrayIcon::Unknown, false}}) {
        ModalScript script(
            {{"mPopupSys", [](QWidget* menu) { QTest::keyClick(menu, Qt::Key_Escape); }}}, 2000);
        p.Toolkit().OnTrayActivated(c.reason);
        EXPECT_EQ(script.Seen().size(), c.opensMenu ? 1 : 0) << c.reason;
    }
    // Its one item ends the program.
    EXPECT_EQ(RunUntilExit([&] {
                  QTimer::singleShot(
                      0, [] { QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_X); });
                  p.Toolkit().OnTrayActivated(QSystemTrayIcon::Context);
              }),
              0);
    EXPECT_TRUE(p.Main().ExitRequested());
    EXPECT_TRUE(p.Window().destroyed());
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

}  // namespace
}  // namespace vr::qttest
