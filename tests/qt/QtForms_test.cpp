#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "ModalScript.h"
#include "about/frmAbout.h"
#include "platform/qt/QtForms.h"
#include "platform/qt/QtToolkit.h"
#include "saving/APICommonDialog.h"
#include "saving/frmAppend.h"
#include "support/TestFileSystem.h"

namespace vr::qttest {
namespace {

// A shown form by object name: a top-level window, or a window parented to the main window.
QWidget* ShownForm(const QString& name) {
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == name && widget->isWindow() && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

QString TextOf(QWidget* form, const char* name) {
    if (auto* label = form->findChild<QLabel*>(name)) {
        return label->text();
    }
    auto* button = form->findChild<QPushButton*>(name);
    return button != nullptr ? button->text() : QString("<no %1>").arg(name);
}

void ExpectCentredOn(const QWidget* form, const QRect& area) {
    const QPoint offset = form->frameGeometry().center() - area.center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
}

// Forms owned by a shown main window.
class FormsTest : public ::testing::Test {
protected:
    FormsTest() {
        owner.setFixedSize(400, 200);
        owner.move(100, 150);
        owner.show();
        ownerHandle = toolkit.RegisterWindow(&owner);
    }

    qt::QtToolkit toolkit;
    qt::QtForms forms{toolkit};
    QWidget owner;
    WindowHandle ownerHandle = 0;
};

TEST_F(FormsTest, AppendFormIsAFixedModalBoxCentredOnItsOwnerWithFocusOnCancel) {
    bool append = false;
    bool cancelled = false;
    frmAppend form(forms, append, cancelled);
    ModalScript script(
        {{"frmAppend", [&](QWidget* dialog) {
              EXPECT_EQ(dialog->size(), QSize(296, 95));  // found as the modal window
              ExpectCentredOn(dialog, owner.frameGeometry());
              const QStringList texts{dialog->windowTitle(), TextOf(dialog, "Label1"),
                                      TextOf(dialog, "cmdAppend"), TextOf(dialog, "cmdOverwrite"),
                                      TextOf(dialog, "cmdCancel")};
              EXPECT_EQ(texts, QStringList({" Append Options",
                                            "This file already exists.  Please "
                                            "choose one of the options below:",
                                            "&Append", "&Overwrite", "&Cancel"}));
              QStringList order;
              for (int i = 0; i < 4; ++i) {
                  order << QApplication::focusWidget()->objectName();
                  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
              }
              EXPECT_EQ(order,
                        QStringList({"cmdCancel", "cmdAppend", "cmdOverwrite", "cmdCancel"}));
              QTest::keyClick(dialog, Qt::Key_Escape);
          }}});
    form.ShowModal(ownerHandle);
    EXPECT_TRUE(script.Finished());
}

TEST_F(FormsTest, AppendFormAnswersThroughTheSaveFlags) {
    auto click = [](const char* button) {
        return [button](QWidget* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
        };
    };
    auto key = [](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return [k, modifiers](QWidget* dialog) { QTest::keyClick(dialog, k, modifiers); };
    };
    struct Case {
        const char* name;
        std::function<void(QWidget*)> act;
        bool appendBefore;
        bool append;
        bool cancelled;
    };
    const std::vector<Case> cases{
        {"Append", click("cmdAppend"), false, true, false},
        {"Overwrite", click("cmdOverwrite"), true, false, false},
        {"Cancel keeps the choice", click("cmdCancel"), true, true, true},
        {"Alt+A", key(Qt::Key_A, Qt::AltModifier), false, true, false},
        {"Alt+O", key(Qt::Key_O, Qt::AltModifier), true, false, false},
        {"Alt+C", key(Qt::Key_C, Qt::AltModifier), false, false, true},
        {"Esc", key(Qt::Key_Escape), true, true, true},
        {"Enter presses the focused Cancel", key(Qt::Key_Return), false, false, true},
        {"Enter with no button focused presses the default Overwrite",
         [](QWidget* dialog) {
             QApplication::focusWidget()->clearFocus();
             QTest::keyClick(dialog, Qt::Key_Return);
         },
         true, false, false},
        {"close box", [](QWidget* dialog) { dialog->close(); }, true, true, true},
    };
    for (const Case& c : cases) {
        bool append = c.appendBefore;
        bool cancelled = !c.cancelled;
        frmAppend form(forms, append, cancelled);
        ModalScript script({{"frmAppend", c.act}});
        form.ShowModal(ownerHandle);
        EXPECT_TRUE(script.Finished()) << c.name;
        EXPECT_EQ(append, c.append) << c.name;
        EXPECT_EQ(cancelled, c.cancelled) << c.name;
    }
}

TEST_F(FormsTest, ProgressFormShowsItsStatusAndAnEmptyRangeDoesNotSpin) {
    auto progress = forms.CreateProgressForm();
    progress->SetMin(0);
    progress->SetMax(0);
    progress->SetStatus("0% completed ( 0 of 0 )");
    progress->Show(ownerHandle);
    QWidget* form = ShownForm("frmProgress");
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->isModal());
    EXPECT_EQ(form->size(), QSize(226, 90));
    ExpectCentredOn(form, form->screen()->geometry());
    QTest::keyClick(form, Qt::Key_Escape);  // nothing to cancel; nor has it a close button
    EXPECT_FALSE(form->close() || !form->isVisible()) << "only the export unloads it";
    auto* bar = form->findChild<QProgressBar*>("pbar");
    EXPECT_LT(bar->minimum(), bar->maximum()) << "an empty range must not spin";
    EXPECT_EQ(bar->accessibleName(), "Saving progress");
    EXPECT_EQ(TextOf(form, "lblStatus"), "0% completed ( 0 of 0 )");
    // The export's widest status, whole, in the label's room (wrapped if need be).
    auto* status = form->findChild<QLabel*>("lblStatus");
    progress->SetStatus("100% completed (123456789 of 123456789)");
    ASSERT_TRUE(SpinUntil([&] { return status->text().startsWith("100%"); }));
    EXPECT_LE(status->heightForWidth(status->width()), status->height());
    EXPECT_LE(status->geometry().bottom(), bar->geometry().top());

    // A large capture's thousands of steps in a row reach the widgets a few times, ending with
    // the last: neither the screen nor a screen reader's bus is flooded.
    progress->SetMax(5000);
    int changes = 0;
    QObject::connect(bar, &QProgressBar::valueChanged, [&changes] { ++changes; });
    for (int step = 1; step <= 5000; ++step) {
        progress->SetValue(static_cast<float>(step));
        progress->SetStatus(std::to_string(step / 50) + "% completed (" + std::to_string(step) +
                            " of 5000)");
    }
    EXPECT_TRUE(SpinUntil([&] { return bar->value() == 5000; }));
    EXPECT_EQ(TextOf(form, "lblStatus"), "100% completed (5000 of 5000)");
    EXPECT_LE(changes, 3);
    progress->Unload();
    EXPECT_EQ(ShownForm("frmProgress"), nullptr);
}

TEST_F(FormsTest, AboutBoxShowsItsTextsAndClosesWithEnterOrEsc) {
    frmAbout about(forms);
    for (Qt::Key closing : {Qt::Key_Return, Qt::Key_Escape}) {
        about.Show(ownerHandle);
        QWidget* box = ShownForm("frmAbout");
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->isModal());
        EXPECT_EQ(box->size(), QSize(280, 85));
        ExpectCentredOn(box, owner.frameGeometry());
        EXPECT_EQ(QStringList({box->windowTitle(), TextOf(box, "lblTitle"),
                               TextOf(box, "lblVersion"), TextOf(box, "cmdOK"),
                               box->findChild<QLabel*>("picIcon")->accessibleName()}),
                  QStringList({"About Verada Rede", "Verada Rede", "Version " VR_VERSION_TEXT, "OK",
                               "Verada Rede logo"}));
        QApplication::setActiveWindow(box);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box, closing);
        EXPECT_FALSE(about.IsLoaded());
        EXPECT_EQ(ShownForm("frmAbout"), nullptr);
    }
}

TEST_F(FormsTest, MessageBoxesAskAndTellAndClosingCountsAsNo) {
    auto press = [](QMessageBox::StandardButton which) {
        return [which](QMessageBox* box) { box->button(which)->click(); };
    };
    struct Case {
        const char* name;
        int style;
        std::function<void(QMessageBox*)> act;
        int answer;
        QMessageBox::Icon icon;
    };
    const std::vector<Case> cases{
        {"Yes", 36, press(QMessageBox::Yes), vbYes, QMessageBox::Question},
        {"Enter presses the default Yes", 36,
         [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }, vbYes,
         QMessageBox::Question},
        {"Enter presses No made the default", 36 + 256,
         [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }, vbNo,
         QMessageBox::Question},
        {"No", 36, press(QMessageBox::No), vbNo, QMessageBox::Question},
        {"Esc is No", 36, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, vbNo,
         QMessageBox::Question},
        {"closed is No", 36, [](QMessageBox* box) { box->close(); }, vbNo, QMessageBox::Question},
        {"OK", 64, press(QMessageBox::Ok), vbOK, QMessageBox::Information},
    };
    for (const Case& c : cases) {
        ModalScript script({{"msgBox", [&](QWidget* widget) {
                                 auto* box = static_cast<QMessageBox*>(widget);
                                 EXPECT_EQ(box->windowTitle(), "Verada Rede") << c.name;
                                 EXPECT_EQ(box->text(), "First line.\n\nSecond line.") << c.name;
                                 EXPECT_EQ(box->icon(), c.icon) << c.name;
                                 c.act(box);
                             }}});
        EXPECT_EQ(toolkit.MsgBox("First line.\r\n\r\nSecond line.", c.style, "Verada Rede"),
                  c.answer)
            << c.name;
        EXPECT_TRUE(script.Finished()) << c.name;
    }
}

// The save dialog, answered as a user does: a name typed into the name box.
class SaveDialogTest : public FormsTest {
protected:
    std::string Ask(std::vector<ModalStep> steps) {
        ModalScript script(std::move(steps));
        const std::string path = ShowSaveDialog(forms, files, ownerHandle, "Save CSV file ...",
                                                "CSV Files", "*.csv", "");
        EXPECT_TRUE(script.Finished()) << script.Seen().join(",").toStdString();
        return path;
    }
    static ModalStep Choose(const std::string& path) {
        return {"saveDialog", [path](QWidget* dialog) {
                    dialog->findChild<QLineEdit*>("fileNameEdit")
                        ->setText(QString::fromStdString(path));
                    static_cast<QDialog*>(dialog)->accept();
                }};
    }
    static inline const ModalStep kCancel{
        "saveDialog", [](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); }};

    ScratchFolder folder;
    TestFileSystem files{folder.Path()};
};

TEST_F(SaveDialogTest, OpensInTheCurrentFolderAndCancelGivesNothing) {
    const std::string current = files.CurrentFolder();
    EXPECT_EQ(Ask({{"saveDialog",
                    [&](QWidget* widget) {
                        auto* dialog = static_cast<QFileDialog*>(widget);
                        EXPECT_EQ(dialog->windowTitle(), "Save CSV file ...");
                        EXPECT_EQ(dialog->nameFilters(), QStringList({"CSV Files (*.csv)"}));
                        EXPECT_EQ(dialog->directory().absolutePath().toStdString(),
                                  std::filesystem::path(current).lexically_normal().string());
                        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
                        kCancel.act(dialog);
                    }}}),
              "");
}

TEST_F(SaveDialogTest, ReturnsTheChosenPathAndRefusesAMissingFolder) {
    const std::string existing = folder.Path() / "existing.csv";
    ScratchFolder::WriteFile(existing, "x");
    EXPECT_EQ(Ask({Choose(existing)}), existing) << "no overwrite question";
    EXPECT_EQ(Ask({Choose(folder.Path() / "new")}), folder.Path() / "new");
    const ModalStep warned{"missingFolderBox",
                           [](QWidget* box) { static_cast<QDialog*>(box)->accept(); }};
    EXPECT_EQ(Ask({Choose(folder.Path() / "missing" / "report.csv"), warned, kCancel}), "");
}

TEST_F(SaveDialogTest, OpensCentredOnItsOwnerInTheFolderOfTheLastSave) {
    const std::filesystem::path logs = folder.Path() / "logs";
    std::filesystem::create_directory(logs);
    EXPECT_EQ(Ask({Choose(logs / "a.csv")}), logs / "a.csv");
    Ask({{"saveDialog", [&](QWidget* dialog) {
              EXPECT_EQ(static_cast<QFileDialog*>(dialog)->directory().absolutePath().toStdString(),
                        logs.string());
              ExpectCentredOn(dialog, owner.frameGeometry());
              kCancel.act(dialog);
          }}});
}

}  // namespace
}  // namespace vr::qttest
