#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "ModalScript.h"
#include "qt/QtMainWindow.h"
#include "qt/QtToolkit.h"

namespace vr::qttest {
namespace {

using qt::QtMainWindow;
using qt::QtToolkit;

// The main window alone, its hooks counting what reaches them.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        window.onSave = [this] { hits << "save"; };
        window.onExit = [this] { hits << "exit"; };
        window.onAbout = [this] { hits << "about"; };
        window.onPopupExit = [this] { hits << "popupExit"; };
        window.onResize = [this] { hits << "resize"; };
    }

    void ShowActive() {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QtToolkit toolkit;
    QtMainWindow window{toolkit};
    QStringList hits;
};

TEST_F(MainWindowTest, IsLaidOutFromItsDesign) {
    EXPECT_EQ(window.windowTitle(), "Zorvik Technologies Verada Rede");
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::Tool)) << "a taskbar button while visible";
    window.show();
    EXPECT_EQ(window.centralWidget()->size(), QSize(304, 82));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the user cannot resize it";

    struct Expected {
        const char* name;
        QString text;
        QRect geometry;
    };
    for (const Expected& control : {Expected{"cmdSave", "&Save", QRect(10, 14, 139, 25)},
                                    Expected{"cmdExit", "E&xit", QRect(10, 48, 139, 25)}}) {
        auto* button = window.findChild<QPushButton*>(control.name);
        ASSERT_NE(button, nullptr) << control.name;
        EXPECT_EQ(button->text(), control.text);
        EXPECT_EQ(button->geometry(), control.geometry) << control.name;
    }
    auto* image1 = window.findChild<QLabel*>("Image1");
    ASSERT_NE(image1, nullptr);
    EXPECT_EQ(image1->geometry(), QRect(172, 10, 125, 70));
    EXPECT_EQ(image1->pixmap().size(), QSize(125, 70));

    const QList<QAction*> menuBar = window.menuBar()->actions();
    ASSERT_EQ(menuBar.size(), 1);
    EXPECT_EQ(menuBar[0]->text(), "&About");
    EXPECT_EQ(menuBar[0]->menu(), nullptr);
}

TEST_F(MainWindowTest, ButtonsMenuAndAccessKeysReachTheirHandlers) {
    ShowActive();
    QTest::mouseClick(window.saveButton(), Qt::LeftButton);
    QTest::mouseClick(window.exitButton(), Qt::LeftButton);
    window.aboutAction()->trigger();
    EXPECT_EQ(hits, QStringList({"save", "exit", "about"}));
    // Access keys, through the window system as a user's keys come.
    const std::vector<std::pair<Qt::Key, QString>> keys{
        {Qt::Key_S, "save"}, {Qt::Key_X, "exit"}, {Qt::Key_A, "about"}};
    for (const auto& [key, hit] : keys) {
        hits.clear();
        QTest::keyClick(window.windowHandle(), key, Qt::AltModifier);
        SpinUntil([this] { return !hits.isEmpty(); }, 2000);  // a button animates its click
        EXPECT_EQ(hits, QStringList({hit}));
    }
}

TEST_F(MainWindowTest, TabGoesFromSaveToExit) {
    ShowActive();
    window.saveButton()->setFocus();
    QTest::keyClick(&window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.exitButton());
    QTest::keyClick(&window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.saveButton());
}

TEST_F(MainWindowTest, TrayMenuHoldsOnlyExit) {
    struct Case {
        const char* name;
        std::function<void(QWidget*)> act;
        QStringList hits;
    };
    const std::vector<Case> cases{
        {"access key", [](QWidget* menu) { QTest::keyClick(menu, Qt::Key_X); }, {"popupExit"}},
        {"dismissed", [](QWidget* menu) { QTest::keyClick(menu, Qt::Key_Escape); }, {}},
    };
    for (const Case& c : cases) {
        hits.clear();
        QStringList items;
        ModalScript script({{"mPopupSys", [&](QWidget* popup) {
                                 for (QAction* action : static_cast<QMenu*>(popup)->actions()) {
                                     items << action->text();
                                 }
                                 c.act(popup);
                             }}});
        window.PopupTrayMenu();
        EXPECT_TRUE(script.Finished()) << c.name;
        EXPECT_EQ(items, QStringList({"E&xit"})) << c.name;
        EXPECT_EQ(hits, c.hits) << c.name;
    }
}

TEST_F(MainWindowTest, StateChangesTheUserMakesAreReportedAndThoseAskedForAreNot) {
    window.show();
    window.SetWindowState(WindowState::Minimized);
    EXPECT_TRUE(window.isMinimized());
    window.SetWindowState(WindowState::Normal);
    EXPECT_TRUE(hits.isEmpty()) << hits.join(",").toStdString();
    window.showMinimized();  // as the user does from the title bar
    EXPECT_EQ(window.GetWindowState(), WindowState::Minimized);
    window.showNormal();
    EXPECT_EQ(window.GetWindowState(), WindowState::Normal);
    EXPECT_EQ(hits, QStringList({"resize", "resize"}));

    // Hidden in the tray, the window system's settling of its state is no user's action.
    hits.clear();
    window.SetWindowState(WindowState::Minimized);
    window.Hide();
    window.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(hits.isEmpty());
    EXPECT_EQ(window.GetWindowState(), WindowState::Minimized);
    window.SetWindowState(WindowState::Normal);
    window.Show();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
}

TEST_F(MainWindowTest, TimerFiresNoMoreOftenThanEveryTenMilliseconds) {
    window.SetTimerEnabled(true);
    EXPECT_TRUE(window.TimerEnabled());
    EXPECT_EQ(window.timerInterval(), 10);
    window.SetTimerEnabled(false);
    EXPECT_FALSE(window.TimerEnabled());
}

TEST(TrayEvents, ReleasesOfTheLeftAndRightButtonAreTheOnlyMenuEvents) {
    EXPECT_EQ(qt::TrayEventNumber(QSystemTrayIcon::Trigger), 514);
    EXPECT_EQ(qt::TrayEventNumber(QSystemTrayIcon::Context), 517);
    for (auto other :
         {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
        const int number = qt::TrayEventNumber(other);
        EXPECT_NE(number, 514);
        EXPECT_NE(number, 517);
    }
}

}  // namespace
}  // namespace vr::qttest
