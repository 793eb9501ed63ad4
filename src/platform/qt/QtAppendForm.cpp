#include <QDialog>
#include <QPushButton>

#include "platform/qt/QtFormDesign.h"
#include "platform/qt/QtForms.h"
#include "saving/frmAppendDesign.h"

namespace vr::qt {
namespace {

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
        form.setParent(toolkit_.WindowOf(owner), WindowFlags(design::kAppendForm));
        ApplyDesign(&form, &form, design::kAppendForm);
        AddControls(&form, design::kAppendForm, design::kAppendControls);
        form.handlers = &handlers;
        dialog_ = &form;
        auto connect = [&form](const char* name, void (AppendFormHandlers::*click)()) {
            QObject::connect(form.findChild<QPushButton*>(name), &QPushButton::clicked, &form,
                             [&form, click] {
                                 form.answered = true;
                                 (form.handlers->*click)();
                             });
        };
        connect("cmdAppend", &AppendFormHandlers::cmdAppend_Click);
        connect("cmdOverwrite", &AppendFormHandlers::cmdOverwrite_Click);
        connect("cmdCancel", &AppendFormHandlers::cmdCancel_Click);
        CentreOn(&form, form.parentWidget());
        form.findChild<QPushButton*>("cmdCancel")->setFocus();  // the first in tab order
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

}  // namespace

std::unique_ptr<AppendView> QtForms::CreateAppendForm() {
    return std::make_unique<QtAppendForm>(toolkit_);
}

}  // namespace vr::qt
