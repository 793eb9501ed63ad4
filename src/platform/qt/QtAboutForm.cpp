#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "about/frmAboutDesign.h"
#include "platform/qt/QtFormDesign.h"
#include "platform/qt/QtForms.h"

namespace vr::qt {
namespace {

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
        ApplyDesign(&form_, &form_, design::kAboutForm);
        form_.setWindowIcon(
            toolkit_.IconOf(toolkit_.StatusImage(std::string(design::kAboutForm.iconKey))));
        AddControls(&form_, design::kAboutForm, design::kAboutControls);
        form_.findChild<QLabel*>(QStringLiteral("picIcon"))
            ->setPixmap(LogoPixmap(form_.devicePixelRatioF()));
        lblTitle_ = form_.findChild<QLabel*>(QStringLiteral("lblTitle"));
        lblVersion_ = form_.findChild<QLabel*>(QStringLiteral("lblVersion"));
        form_.cmdOK = form_.findChild<QPushButton*>(QStringLiteral("cmdOK"));
        QObject::connect(form_.cmdOK, &QPushButton::clicked, &form_, [this] {
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
    AboutFormHandlers* handlers_ = nullptr;
};

}  // namespace

std::unique_ptr<AboutView> QtForms::CreateAboutForm() {
    return std::make_unique<QtAboutForm>(toolkit_);
}

}  // namespace vr::qt
