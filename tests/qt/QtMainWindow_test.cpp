#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>

#include "ModalScript.h"
#include "platform/qt/QtMainWindow.h"
#include "platform/qt/QtToolkit.h"
#include "shared/FormDesign.h"

namespace vr::qttest {
namespace {

// The main window alone, its hooks counting what reaches them.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        window.onSave = [this] { hits << "save"; };
        window.onExit = [this] { hits << "exit"; };
        window.onAbout = [this] { hits << "about"; };
        window.onResize = [this] { hits << "resize"; };
    }

    qt::QtToolkit toolkit;
    qt::QtMainWindow window{toolkit};
    QStringList hits;
};

TEST_F(MainWindowTest, IsAFixedSizeWindowWithATaskbarButtonAndNoMaximiseBox) {
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::Tool)) << "a taskbar button while visible";
    // Placed before it is first shown: its size is known by then (not Qt's default 640 by 480;
    // the frame comes with the showing).
    const QSize before(int(window.OuterWidth()), int(window.OuterHeight()));
    window.show();
    EXPECT_EQ(before, window.size());
    EXPECT_EQ(window.centralWidget()->size(), QSize(304, 82));
    // Drawn at the screen's pixel ratio (the suite runs this test at 2x too), not enlarged.
    const qreal ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? 2.0 : 1.0;
    const QPixmap logo = window.findChild<QLabel*>("Image1")->pixmap();
    EXPECT_EQ(logo.devicePixelRatio(), ratio);
    EXPECT_EQ(logo.size(), QSize(design::kLogoWidthPixels, design::kLogoHeightPixels) * ratio);
    EXPECT_EQ(QStringList({window.windowTitle(), window.saveButton()->text(),
                           window.exitButton()->text(), window.aboutAction()->text()}),
              QStringList({"Zorvik Technologies Verada Rede", "&Save", "E&xit", "&About"}));
}

TEST_F(MainWindowTest, ClicksAccessKeysTabAndEnterReachTheirTargets) {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // Access keys, through the window system as a user's keys come; they press the same buttons
    // and menu item a mouse click does.
    for (const auto& [key, hit] : std::vector<std::pair<Qt::Key, QString>>{
             {Qt::Key_S, "save"}, {Qt::Key_X, "exit"}, {Qt::Key_A, "about"}}) {
        hits.clear();
        QTest::keyClick(window.windowHandle(), key, Qt::AltModifier);
        SpinUntil([this] { return !hits.isEmpty(); }, 2000);  // a button animates its click
        EXPECT_EQ(hits, QStringList({hit}));
    }
    window.saveButton()->setFocus();
    QTest::keyClick(&window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.exitButton());
    QTest::keyClick(&window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.saveButton());
    // Enter presses the focused button, as in a dialog.
    for (const auto& [button, hit] : std::vector<std::pair<QPushButton*, QString>>{
             {window.saveButton(), "save"}, {window.exitButton(), "exit"}}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            hits.clear();
            button->setFocus();
            QTest::keyClick(button, key);
            EXPECT_EQ(hits, QStringList({hit})) << key;
        }
    }
}

TEST_F(MainWindowTest, StateChangesTheUserMakesAreReportedAndThoseAskedForAreNot) {
    window.show();
    // A minimise waits until the window system shows the window.
    window.SetWindowState(WindowState::Minimized);
    EXPECT_EQ(window.GetWindowState(), WindowState::Minimized);
    EXPECT_TRUE(SpinUntil([this] { return window.isMinimized(); }));
    window.SetWindowState(WindowState::Normal);
    EXPECT_TRUE(hits.isEmpty()) << hits.join(",").toStdString();
    QTest::qWait(qt::WindowStateEcho::kSettleMs + 50);  // the window system's answers are in
    window.showMinimized();                             // as the user does from the title bar
    EXPECT_EQ(window.GetWindowState(), WindowState::Minimized);
    EXPECT_EQ(hits, QStringList({"resize"}));

    // Asked into the tray on a desktop without one, the window stays minimised on the taskbar;
    // a change the window system makes to a hidden window is no user's action either.
    hits.clear();
    window.SetWindowState(WindowState::Minimized);
    window.Hide();
    EXPECT_TRUE(window.isVisible());
    window.hide();
    window.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(hits.isEmpty());
    EXPECT_EQ(window.GetWindowState(), WindowState::Minimized);
    window.SetWindowState(WindowState::Normal);
    window.Show();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    window.SetTimerEnabled(true);
    EXPECT_EQ(window.timerInterval(), 10);
    window.SetTimerEnabled(false);
    EXPECT_FALSE(window.TimerEnabled());
}

}  // namespace
}  // namespace vr::qttest
