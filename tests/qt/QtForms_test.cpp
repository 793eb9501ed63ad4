#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "ModalScript.h"
#include "about/frmAbout.h"
#include "qt/QtForms.h"
#include "qt/QtToolkit.h"
#include "saving/APICommonDialog.h"
#include "saving/ExportCaptureFile.h"
#include "saving/frmAppend.h"
#include "support/TestFileSystem.h"

namespace vr::qttest {
namespace {

using qt::QtForms;
using qt::QtToolkit;

QWidget* TopLevel(const QString& name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name && widget->isVisible()) {
            return widget;
        }
    }
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == name && widget->isWindow() && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

template <class T = QWidget>
T* Child(QWidget* form, const char* name) {
    auto* child = form->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

void ExpectCentredOn(const QWidget* form, const QWidget* owner) {
    const QPoint offset = form->frameGeometry().center() - owner->frameGeometry().center();
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

    QtToolkit toolkit;
    QtForms forms{toolkit};
    QWidget owner;
    WindowHandle ownerHandle = 0;
};

// --- frmAppend --------------------------------------------------------------------------------

TEST_F(FormsTest, AppendFormIsLaidOutFromItsDesign) {
    bool append = false;
    bool cancelled = false;
    frmAppend form(forms, append, cancelled);
    ModalScript script(
        {{"frmAppend", [&](QWidget* dialog) {
              EXPECT_EQ(dialog->windowTitle(), " Append Options");
              EXPECT_TRUE(dialog->isModal());
              EXPECT_EQ(dialog->size(), QSize(296, 95));
              const Qt::WindowFlags flags = dialog->windowFlags();
              EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                    Qt::WindowCloseButtonHint));
              ExpectCentredOn(dialog, &owner);
              auto* label = Child<QLabel>(dialog, "Label1");
              EXPECT_EQ(label->text(),
                        "This file already exists.  Please choose one of the "
                        "options below:");
              EXPECT_EQ(label->geometry(), QRect(16, 8, 265, 33));
              struct Button {
                  const char* name;
                  QString text;
                  int left;
              };
              for (const Button& b :
                   {Button{"cmdAppend", "&Append", 8}, Button{"cmdOverwrite", "&Overwrite", 104},
                    Button{"cmdCancel", "&Cancel", 200}}) {
                  auto* button = Child<QPushButton>(dialog, b.name);
                  EXPECT_EQ(button->text(), b.text);
                  EXPECT_EQ(button->geometry(), QRect(b.left, 56, 85, 27));
                  EXPECT_EQ(button->font().family(), "Arial");
                  EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 8.25);
              }
              // Focus starts on Cancel; Tab goes on to Append, then Overwrite.
              QStringList order;
              for (int i = 0; i < 4; ++i) {
                  order << QApplication::focusWidget()->objectName();
                  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
              }
              EXPECT_EQ(order,
                        QStringList({"cmdCancel", "cmdAppend", "cmdOverwrite", "cmdCancel"}));
              // Enter presses the focused button, as on the original platform; with no button
              // focused Overwrite is the default.
              QApplication::focusWidget()->clearFocus();
              EXPECT_TRUE(Child<QPushButton>(dialog, "cmdOverwrite")->isDefault());
              EXPECT_FALSE(Child<QPushButton>(dialog, "cmdCancel")->isDefault());
              QTest::keyClick(dialog, Qt::Key_Escape);
          }}});
    form.ShowModal(ownerHandle);
    EXPECT_TRUE(script.Finished());
}

TEST_F(FormsTest, AppendFormAnswersThroughTheSaveFlags) {
    struct Case {
        const char* name;
        std::function<void(QWidget*)> act;
        bool appendBefore;
        bool append;
        bool cancelled;
    };
    auto click = [](const char* button) {
        return [button](QWidget* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
        };
    };
    auto key = [](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return [k, modifiers](QWidget* dialog) { QTest::keyClick(dialog, k, modifiers); };
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
        {"Enter on Overwrite",
         [](QWidget* dialog) {
             dialog->findChild<QPushButton*>("cmdOverwrite")->setFocus();
             QTest::keyClick(dialog, Qt::Key_Return);
         },
         true, false, false},
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
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << c.name;
    }
}

// --- frmProgress ------------------------------------------------------------------------------

// The main window as the export sees it.
class QuietWindow : public MainWindowLink {
public:
    explicit QuietWindow(WindowHandle handle) : handle_(handle) {}
    bool SetStatusIcon(const std::string&) override { return false; }
    void RestoreWindow() override {}
    void ShowWindow() override {}
    WindowHandle GetWindowHandle() const override { return handle_; }
    void DoEvents() override { QApplication::processEvents(); }
    void SetTimerEnabled(bool) override {}
    bool TimerEnabled() const override { return false; }
    void MinimizeWindow() override {}
    bool ExitPending() const override { return false; }

private:
    WindowHandle handle_;
};

// The Qt forms, with a look at the progress form's label after each thing the export tells it.
class WatchedForms : public FormFactory {
public:
    explicit WatchedForms(FormFactory& inner) : inner_(inner) {}

    QStringList statuses;
    std::function<void(QWidget*)> onShow;

    bool RunSaveDialog(FileDialogRequest& request, WindowHandle owner) override {
        return inner_.RunSaveDialog(request, owner);
    }
    std::unique_ptr<ProgressView> CreateProgressForm() override {
        return std::make_unique<Watched>(*this, inner_.CreateProgressForm());
    }
    std::unique_ptr<AppendView> CreateAppendForm() override { return inner_.CreateAppendForm(); }
    std::unique_ptr<AboutView> CreateAboutForm() override { return inner_.CreateAboutForm(); }

private:
    class Watched : public ProgressView {
    public:
        Watched(WatchedForms& forms, std::unique_ptr<ProgressView> view)
            : forms_(forms), view_(std::move(view)) {}
        void SetMin(float value) override { view_->SetMin(value); }
        void SetMax(float value) override { view_->SetMax(value); }
        void SetValue(float value) override { view_->SetValue(value); }
        void SetStatus(const std::string& caption) override {
            view_->SetStatus(caption);
            if (QWidget* form = TopLevel("frmProgress")) {
                forms_.statuses << form->findChild<QLabel*>("lblStatus")->text();
            }
        }
        void Show(WindowHandle owner) override {
            view_->Show(owner);
            QWidget* form = TopLevel("frmProgress");
            ASSERT_NE(form, nullptr);
            forms_.onShow(form);
            forms_.statuses << form->findChild<QLabel*>("lblStatus")->text();
        }
        void Unload() override { view_->Unload(); }

    private:
        WatchedForms& forms_;
        std::unique_ptr<ProgressView> view_;
    };

    FormFactory& inner_;
};

TEST_F(FormsTest, ProgressFormShowsTheSequenceOfTexts) {
    struct Case {
        std::size_t captureSize;
        QStringList statuses;
    };
    const std::vector<Case> cases{
        {10, {"0% completed ( 0 of 0 )"}},
        {250, {"0% completed ( 0 of 2 )", "50% completed (1 of 2)", "100% completed (2 of 2)"}},
    };
    for (const Case& c : cases) {
        ScratchFolder folder;
        TestFileSystem files(folder.Path());
        const std::string source = folder.Path() / "vrtemp.csv";
        WriteBytes(source, std::vector<std::uint8_t>(c.captureSize, 'a'));
        QuietWindow window(ownerHandle);
        WatchedForms watched(forms);
        watched.onShow = [](QWidget* form) {
            EXPECT_EQ(form->windowTitle(), "Saving File. Please wait...");
            EXPECT_FALSE(form->isModal());
            EXPECT_EQ(form->size(), QSize(226, 90));
            EXPECT_EQ(Child<QFrame>(form, "Frame1")->geometry(), QRect(8, 8, 209, 73));
            auto* status = Child<QLabel>(form, "lblStatus");
            EXPECT_EQ(status->geometry(), QRect(8, 16, 193, 17));
            EXPECT_TRUE(status->alignment().testFlag(Qt::AlignHCenter));
            auto* bar = Child<QProgressBar>(form, "pbar");
            EXPECT_EQ(bar->geometry(), QRect(8, 48, 193, 17));
            EXPECT_LT(bar->minimum(), bar->maximum()) << "an empty range must not spin";
            EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowCloseButtonHint));
            const QPoint offset =
                form->frameGeometry().center() - form->screen()->geometry().center();
            EXPECT_LE(offset.manhattanLength(), 4);
        };
        ExportCaptureFile(files, watched, window, source, folder.Path() / "out.csv", false);
        EXPECT_EQ(watched.statuses, c.statuses) << c.captureSize;
        EXPECT_EQ(TopLevel("frmProgress"), nullptr) << "unloaded at the end";
    }
}

// --- frmAbout ---------------------------------------------------------------------------------

TEST_F(FormsTest, AboutBoxShowsTitleAndVersionEachTimeAndClosesWithEnterOrEsc) {
    frmAbout about(forms);
    for (Qt::Key closing : {Qt::Key_Return, Qt::Key_Escape}) {
        about.Show(ownerHandle);
        QWidget* box = TopLevel("frmAbout");
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->isModal());
        EXPECT_EQ(box->windowTitle(), "About Verada Rede");
        EXPECT_EQ(box->size(), QSize(280, 85));
        ExpectCentredOn(box, &owner);
        struct Label {
            const char* name;
            QString text;
            QRect geometry;
        };
        for (const Label& l : {Label{"lblTitle", "Verada Rede", QRect(136, 8, 139, 16)},
                               Label{"lblVersion", "Version 1.0.2", QRect(136, 30, 139, 15)}}) {
            auto* label = Child<QLabel>(box, l.name);
            EXPECT_EQ(label->text(), l.text);
            EXPECT_EQ(label->geometry(), l.geometry);
            EXPECT_EQ(label->font().family(), "Arial");
            EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 9.0);
        }
        EXPECT_EQ(Child<QLabel>(box, "picIcon")->pixmap().size(), QSize(125, 70));
        auto* ok = Child<QPushButton>(box, "cmdOK");
        EXPECT_EQ(ok->text(), "OK");
        EXPECT_TRUE(ok->isDefault());
        EXPECT_DOUBLE_EQ(ok->font().pointSizeF(), 8.25);
        EXPECT_EQ(ok->geometry(), QRect(192, 58, 84, 23));

        about.Show(ownerHandle);  // a second choice of About brings the same box up
        EXPECT_EQ(TopLevel("frmAbout"), box);
        QApplication::setActiveWindow(box);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box, closing);
        EXPECT_FALSE(about.IsLoaded());
        EXPECT_EQ(TopLevel("frmAbout"), nullptr);
    }
}

// --- message boxes ----------------------------------------------------------------------------

TEST_F(FormsTest, MessageBoxesAskAndTell) {
    struct Case {
        const char* name;
        int style;
        std::function<void(QMessageBox*)> act;
        int answer;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };
    auto press = [](QMessageBox::StandardButton which) {
        return [which](QMessageBox* box) { box->button(which)->click(); };
    };
    const auto yesNo = QMessageBox::Yes | QMessageBox::No;
    const std::vector<Case> cases{
        {"Yes", 36, press(QMessageBox::Yes), vbYes, QMessageBox::Question, yesNo},
        {"No", 36, press(QMessageBox::No), vbNo, QMessageBox::Question, yesNo},
        {"Esc is No", 36, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, vbNo,
         QMessageBox::Question, yesNo},
        {"closed is No", 36, [](QMessageBox* box) { box->close(); }, vbNo, QMessageBox::Question,
         yesNo},
        {"OK", 64, press(QMessageBox::Ok), vbOK, QMessageBox::Information, QMessageBox::Ok},
    };
    for (const Case& c : cases) {
        ModalScript script({{"msgBox", [&](QWidget* widget) {
                                 auto* box = static_cast<QMessageBox*>(widget);
                                 EXPECT_EQ(box->windowTitle(), "Verada Rede") << c.name;
                                 EXPECT_EQ(box->text(), "First line.\n\nSecond line.") << c.name;
                                 EXPECT_EQ(box->icon(), c.icon) << c.name;
                                 EXPECT_EQ(box->standardButtons(), c.buttons) << c.name;
                                 c.act(box);
                             }}});
        EXPECT_EQ(toolkit.MsgBox("First line.\r\n\r\nSecond line.", c.style, "Verada Rede"),
                  c.answer)
            << c.name;
        EXPECT_TRUE(script.Finished()) << c.name;
    }
}

// --- the save dialog --------------------------------------------------------------------------

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
        return {"saveDialog", [path](QWidget* widget) {
                    auto* dialog = static_cast<QFileDialog*>(widget);
                    // Typed into the name box, as a user does.
                    dialog->findChild<QLineEdit*>("fileNameEdit")
                        ->setText(QString::fromStdString(path));
                    static_cast<QDialog*>(dialog)->accept();
                }};
    }

    ScratchFolder folder;
    TestFileSystem files{folder.Path()};
};

TEST_F(SaveDialogTest, OpensInTheCurrentFolderWithTheCsvFilter) {
    const std::string current = files.CurrentFolder();
    Ask({{"saveDialog", [&](QWidget* widget) {
              auto* dialog = static_cast<QFileDialog*>(widget);
              EXPECT_EQ(dialog->windowTitle(), "Save CSV file ...");
              EXPECT_EQ(dialog->nameFilters(), QStringList({"CSV Files (*.csv)"}));
              EXPECT_EQ(dialog->directory().absolutePath().toStdString(),
                        std::filesystem::path(current).lexically_normal().string());
              EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
              EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
              EXPECT_TRUE(dialog->isModal());
              dialog->reject();
          }}});
}

TEST_F(SaveDialogTest, ReturnsTheChosenPathAndNothingWhenCancelled) {
    const std::string existing = folder.Path() / "existing.csv";
    WriteBytes(existing, {'x'});
    EXPECT_EQ(Ask({Choose(existing)}), existing) << "no overwrite question";
    EXPECT_EQ(Ask({Choose(folder.Path() / "new")}), folder.Path() / "new");
    EXPECT_EQ(Ask({{"saveDialog", [](QWidget* w) { static_cast<QDialog*>(w)->reject(); }}}), "");
}

TEST_F(SaveDialogTest, RefusesAFolderThatDoesNotExistAndStaysOpen) {
    ModalStep warned{"missingFolderBox",
                     [](QWidget* box) { static_cast<QDialog*>(box)->accept(); }};
    ModalStep cancel{"saveDialog", [](QWidget* w) { static_cast<QDialog*>(w)->reject(); }};
    EXPECT_EQ(Ask({Choose(folder.Path() / "missing" / "report.csv"), warned, cancel}), "");
}

}  // namespace
}  // namespace vr::qttest
