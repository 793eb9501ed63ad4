#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "platform/qt/QtFormDesign.h"
#include "platform/qt/QtForms.h"
#include "saving/frmProgressDesign.h"

namespace vr::qt {
namespace {

// A large capture moves the progress on hundreds of thousands of times. The widgets take the
// latest value and status at most this often: each change is a repaint and, with a screen reader
// listening, a message on the accessibility bus, which would slow the save down and flood the bus
// so that the reader's own calls time out. What the screen shows is the same, since the form is
// painted only between the export's blocks anyway.
constexpr int kRefreshMs = 100;

// The form has no control box and the export nothing to cancel: a close button that a window
// manager puts on every dialog regardless, and Esc, leave it up until the export unloads it.
class ProgressDialog : public QDialog {
protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
    void reject() override {}
};

// frmProgress
class QtProgressForm : public ProgressView {
public:
    explicit QtProgressForm(QtToolkit& toolkit) : toolkit_(toolkit) {
        ApplyDesign(&form_, &form_, design::kProgressForm);
        AddControls(&form_, design::kProgressForm, design::kProgressControls);
        lblStatus_ = form_.findChild<QLabel*>(QStringLiteral("lblStatus"));
        pbar_ = form_.findChild<QProgressBar*>(QStringLiteral("pbar"));
        // A status too wide for one line ("100% completed (209718 of 209718)" in a large font)
        // wraps onto a second line in the room above the bar instead of being cut off.
        lblStatus_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        lblStatus_->resize(lblStatus_->width(), pbar_->y() - lblStatus_->y());
        refresh_.setSingleShot(true);
        QObject::connect(&refresh_, &QTimer::timeout, &form_, [this] { Refresh(); });
    }

    void SetMin(float value) override {
        min_ = std::lround(value);
        ApplyRange();
    }
    void SetMax(float value) override {
        max_ = std::lround(value);
        ApplyRange();
    }
    void SetValue(float value) override {
        value_ = static_cast<int>(std::lround(value));
        Changed();
    }
    void SetStatus(const std::string& caption) override {
        status_ = caption;
        Changed();
    }
    void Show(WindowHandle owner) override {
        QWidget* parent = toolkit_.WindowOf(owner);
        if (parent != nullptr) {
            form_.setParent(parent, form_.windowFlags());
        }
        CentreOn(&form_, nullptr);
        form_.show();
    }
    void Unload() override {
        refresh_.stop();
        form_.hide();
    }

private:
    void Changed() {
        if (!shown_.isValid() || shown_.elapsed() >= kRefreshMs) {
            Refresh();
        } else if (!refresh_.isActive()) {
            refresh_.start(static_cast<int>(kRefreshMs - shown_.elapsed()));
        }
    }
    void Refresh() {
        refresh_.stop();
        shown_.start();
        pbar_->setValue(value_);
        lblStatus_->setText(QString::fromStdString(status_));
    }

    // An empty range (0 to 0) would turn the bar into a busy indicator; it shows empty instead.
    void ApplyRange() {
        pbar_->setRange(static_cast<int>(min_), static_cast<int>(std::max(max_, min_ + 1)));
    }

    QtToolkit& toolkit_;
    ProgressDialog form_;
    QLabel* lblStatus_ = nullptr;
    QProgressBar* pbar_ = nullptr;
    long min_ = 0;
    long max_ = 0;
    int value_ = 0;
    std::string status_;
    QElapsedTimer shown_;  // since the widgets last took the value and status
    QTimer refresh_;
};

}  // namespace

std::unique_ptr<ProgressView> QtForms::CreateProgressForm() {
    return std::make_unique<QtProgressForm>(toolkit_);
}

}  // namespace vr::qt
