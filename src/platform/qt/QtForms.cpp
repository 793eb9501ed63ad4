#include "qt/QtForms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <cmath>

#include "artwork/Artwork.h"
#include "qt/Twips.h"
#include "saving/FileDialogRequest.h"
#include "shared/StatusKeys.h"

namespace vr::qt {
namespace {

constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;  // no control box

QFont ArialFont(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    return font;
}

void SetClientSize(QWidget* form, double widthTwips, double heightTwips) {
    form->setFixedSize(TwipsToPixels(form, widthTwips), TwipsToPixels(form, heightTwips));
}

void CentreOn(QWidget* form, const QWidget* owner) {
    const QRect area = owner != nullptr && owner->isVisible() ? owner->frameGeometry()
                                                              : form->screen()->geometry();
    form->move(area.center() - QPoint(form->width() / 2, form->height() / 2));
}

// "desc (pattern)" name filters from the description/pattern pairs of a filter string.
QStringList NameFilters(const std::string& filter) {
    QStringList parts;
    std::size_t start = 0;
    while (start < filter.size()) {
        const std::size_t end = filter.find('\0', start);
        if (end == std::string::npos || end == start) {
            break;
        }
        parts << QString::fromStdString(filter.substr(start, end - start));
        start = end + 1;
    }
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        const QString& description = parts[i];
        filters << (description.contains('(') ? description : description + " (" + pattern + ")");
    }
    return filters;
}

// frmProgress
class QtProgressForm : public ProgressView {
public:
    explicit QtProgressForm(QtToolkit& toolkit) : toolkit_(toolkit) {
        form_.setWindowFlags(kFixedDialog);
        form_.setWindowTitle(QStringLiteral("Saving File. Please wait..."));
        form_.setObjectName(QStringLiteral("frmProgress"));
        SetClientSize(&form_, 3390, 1350);
        auto* frame1 = new QFrame(&form_);
        frame1->setObjectName(QStringLiteral("Frame1"));
        frame1->setFrameShape(QFrame::Box);
        frame1->setFrameShadow(QFrame::Sunken);
        frame1->setGeometry(TwipsRect(&form_, 120, 120, 3135, 1095));
        lblStatus_ = new QLabel(QStringLiteral("% Status"), frame1);
        lblStatus_->setObjectName(QStringLiteral("lblStatus"));
        lblStatus_->setAlignment(Qt::AlignCenter);
        lblStatus_->setGeometry(TwipsRect(&form_, 120, 240, 2895, 255));
        pbar_ = new QProgressBar(frame1);
        pbar_->setObjectName(QStringLiteral("pbar"));
        pbar_->setTextVisible(false);
        pbar_->setGeometry(TwipsRect(&form_, 120, 720, 2895, 255));
    }

    void SetMin(float value) override {
        min_ = std::lround(value);
        ApplyRange();
    }
    void SetMax(float value) override {
        max_ = std::lround(value);
        ApplyRange();
    }
    void SetValue(float value) override { pbar_->setValue(static_cast<int>(std::lround(value))); }
    void SetStatus(const std::string& caption) override {
        lblStatus_->setText(QString::fromStdString(caption));
    }
    void Show(WindowHandle owner) override {
        QWidget* parent = toolkit_.WindowOf(owner);
        if (parent != nullptr) {
            form_.setParent(parent, form_.windowFlags());
        }
        CentreOn(&form_, nullptr);
        form_.show();
    }
    void Unload() override { form_.hide(); }

private:
    // An empty range (0 to 0) would turn the bar into a busy indicator; it shows empty instead.
    void ApplyRange() {
        pbar_->setRange(static_cast<int>(min_), static_cast<int>(std::max(max_, min_ + 1)));
    }

    QtToolkit& toolkit_;
    QDialog form_;
    QLabel* lblStatus_ = nullptr;
    QProgressBar* pbar_ = nullptr;
    long min_ = 0;
    long max_ = 0;
};

// frmAppend
class AppendDialog : public QDialog {
public:
    AppendFormHandlers* handlers = nullptr;
    bool answered = false;

protected:
    // Esc and closing the dialog any other way count as the Cancel button.
    void reject() override {
        if (!answered && handlers != nullptr) {
            handlers->cmdCancel_Click();
        }
        QDialog::reject();
    }
};

class QtAppendForm : public AppendView {
public:
    explicit QtAppendForm(QtToolkit& toolkit) : toolkit_(toolkit) {}

    void ShowModal(WindowHandle owner, AppendFormHandlers& handlers) override {
        AppendDialog form;
        form.setParent(toolkit_.WindowOf(owner), kFixedDialog);
        form.setObjectName(QStringLiteral("frmAppend"));
        form.setWindowTitle(QStringLiteral(" Append Options"));
        SetClientSize(&form, 4440, 1425);
        auto* label1 = new QLabel(
            QStringLiteral("This file already exists.  Please choose one of the options below:"),
            &form);
        label1->setObjectName(QStringLiteral("Label1"));
        label1->setWordWrap(true);
        label1->setGeometry(TwipsRect(&form, 240, 120, 3975, 495));
        auto button = [&](const char* name, const char* caption, double left) {
            auto* b = new QPushButton(QString::fromLatin1(caption), &form);
            b->setObjectName(QString::fromLatin1(name));
            b->setFont(ArialFont(8.25));
            b->setGeometry(TwipsRect(&form, left, 840, 1275, 405));
            return b;
        };
        QPushButton* cmdAppend = button("cmdAppend", "&Append", 120);
        QPushButton* cmdOverwrite = button("cmdOverwrite", "&Overwrite", 1560);
        QPushButton* cmdCancel = button("cmdCancel", "&Cancel", 3000);
        cmdOverwrite->setDefault(true);
        QWidget::setTabOrder(cmdCancel, cmdAppend);
        QWidget::setTabOrder(cmdAppend, cmdOverwrite);
        form.handlers = &handlers;
        dialog_ = &form;
        auto answer = [&form](void (AppendFormHandlers::*click)()) {
            form.answered = true;
            (form.handlers->*click)();
        };
        QObject::connect(cmdAppend, &QPushButton::clicked, &form,
                         [&] { answer(&AppendFormHandlers::cmdAppend_Click); });
        QObject::connect(cmdOverwrite, &QPushButton::clicked, &form,
                         [&] { answer(&AppendFormHandlers::cmdOverwrite_Click); });
        QObject::connect(cmdCancel, &QPushButton::clicked, &form,
                         [&] { answer(&AppendFormHandlers::cmdCancel_Click); });
        CentreOn(&form, form.parentWidget());
        cmdCancel->setFocus();
        form.exec();
        dialog_ = nullptr;
    }

    void Unload() override {
        if (dialog_ != nullptr) {
            dialog_->answered = true;
            dialog_->done(QDialog::Accepted);
        }
    }

private:
    QtToolkit& toolkit_;
    AppendDialog* dialog_ = nullptr;
};

// frmAbout
class AboutDialog : public QDialog {
public:
    bool loaded = false;
    QPushButton* cmdOK = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override {
        loaded = false;
        QDialog::closeEvent(event);
    }
    void reject() override {
        // Esc presses OK, which unloads the form; closing it from its title bar unloads it too.
        if (loaded && cmdOK != nullptr && cmdOK->isVisible()) {
            cmdOK->click();
        }
        loaded = false;
        QDialog::reject();
    }
};

class QtAboutForm : public AboutView {
public:
    explicit QtAboutForm(QtToolkit& toolkit) : toolkit_(toolkit) {
        form_.setObjectName(QStringLiteral("frmAbout"));
        form_.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint);
        form_.setWindowTitle(QStringLiteral("About ..."));
        form_.setWindowIcon(toolkit_.IconOf(toolkit_.StatusImage(keyVR)));
        SetClientSize(&form_, 4200, 1275);
        auto* picIcon = new QLabel(&form_);
        picIcon->setObjectName(QStringLiteral("picIcon"));
        const artwork::Image logo = artwork::Logo(125, 70);
        picIcon->setPixmap(QPixmap::fromImage(QImage(logo.rgba.data(), logo.width, logo.height,
                                                     logo.width * 4, QImage::Format_RGBA8888)
                                                  .copy()));
        picIcon->setGeometry(TwipsRect(&form_, 90, 120, 1875, 1050));
        lblTitle_ = new QLabel(QStringLiteral("Infrared USB Adapter"), &form_);
        lblTitle_->setObjectName(QStringLiteral("lblTitle"));
        lblTitle_->setFont(ArialFont(9));
        lblTitle_->setGeometry(TwipsRect(&form_, 2040, 120, 2085, 240));
        lblVersion_ = new QLabel(QStringLiteral("Version"), &form_);
        lblVersion_->setObjectName(QStringLiteral("lblVersion"));
        lblVersion_->setFont(ArialFont(9));
        lblVersion_->setGeometry(TwipsRect(&form_, 2040, 450, 2085, 225));
        cmdOK_ = new QPushButton(QStringLiteral("OK"), &form_);
        cmdOK_->setObjectName(QStringLiteral("cmdOK"));
        cmdOK_->setFont(ArialFont(8.25));
        cmdOK_->setDefault(true);
        form_.cmdOK = cmdOK_;
        cmdOK_->setGeometry(TwipsRect(&form_, 2880, 870, 1260, 345));
        QObject::connect(cmdOK_, &QPushButton::clicked, &form_, [this] {
            if (handlers_ != nullptr) {
                handlers_->cmdOK_Click();
            }
        });
    }

    void SetCaption(const std::string& caption) override {
        form_.setWindowTitle(QString::fromStdString(caption));
    }
    void SetTitleLabel(const std::string& text) override {
        lblTitle_->setText(QString::fromStdString(text));
    }
    void SetVersionLabel(const std::string& text) override {
        lblVersion_->setText(QString::fromStdString(text));
    }
    void Show(WindowHandle owner, AboutFormHandlers& handlers) override {
        handlers_ = &handlers;
        QWidget* parent = toolkit_.WindowOf(owner);
        if (parent != nullptr) {
            form_.setParent(parent, form_.windowFlags());
        }
        form_.loaded = true;
        CentreOn(&form_, parent);
        form_.show();
    }
    void BringToFront() override {
        form_.raise();
        form_.activateWindow();
    }
    bool IsLoaded() const override { return form_.loaded; }
    void Unload() override {
        form_.loaded = false;
        handlers_ = nullptr;
        form_.hide();
    }

private:
    QtToolkit& toolkit_;
    AboutDialog form_;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    AboutFormHandlers* handlers_ = nullptr;
};

// The save dialog. A name in a folder that does not exist is refused in the dialog itself, with
// a word to the user, so they can correct it instead of finding that nothing was saved.
class SaveDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() && !QFileInfo(chosen.constFirst()).absoluteDir().exists()) {
            QMessageBox box(
                QMessageBox::Warning, windowTitle(),
                QStringLiteral("The folder \"%1\" does not exist.\nCheck the path "
                               "and try again.")
                    .arg(QDir::toNativeSeparators(QFileInfo(chosen.constFirst()).absolutePath())),
                QMessageBox::Ok, this);
            box.setObjectName(QStringLiteral("missingFolderBox"));
            box.exec();
            return;
        }
        QFileDialog::accept();
    }
};

}  // namespace

bool QtForms::RunSaveDialog(FileDialogRequest& request, WindowHandle owner) {
    SaveDialog dialog(toolkit_.WindowOf(owner), QString::fromStdString(request.DialogTitle),
                      QString::fromStdString(request.InitialDir));
    dialog.setObjectName(QStringLiteral("saveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // An existing file is handled by the append choice, not by an overwrite prompt.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const QStringList filters = NameFilters(
        request.Filter.empty() ? std::string("All Files\0*.*\0\0", 15) : request.Filter);
    dialog.setNameFilters(filters);
    if (request.FilterIndex > 0 && request.FilterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[request.FilterIndex - 1]);
    }
    if (!request.DefaultExt.empty()) {
        dialog.setDefaultSuffix(QString::fromStdString(request.DefaultExt));
    }
    if (!request.DefaultFile.empty()) {
        dialog.selectFile(QString::fromStdString(request.DefaultFile));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    request.ChosenFile = chosen.toStdString();
    request.ChosenTitle = QFileInfo(chosen).fileName().toStdString();
    const auto slash = request.ChosenFile.rfind('/');
    const auto dot = request.ChosenFile.rfind('.');
    request.FileOffset = static_cast<std::int16_t>(slash == std::string::npos ? 0 : slash + 1);
    request.ExtensionOffset = static_cast<std::int16_t>(
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? 0 : dot + 1);
    return true;
}

std::unique_ptr<ProgressView> QtForms::CreateProgressForm() {
    return std::make_unique<QtProgressForm>(toolkit_);
}

std::unique_ptr<AppendView> QtForms::CreateAppendForm() {
    return std::make_unique<QtAppendForm>(toolkit_);
}

std::unique_ptr<AboutView> QtForms::CreateAboutForm() {
    return std::make_unique<QtAboutForm>(toolkit_);
}

}  // namespace vr::qt
