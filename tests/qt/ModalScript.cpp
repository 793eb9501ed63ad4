#include "ModalScript.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QWidget>

namespace vr::qttest {
namespace {

constexpr int kLookIntervalMs = 5;

QWidget* TopModal() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        return popup;
    }
    return QApplication::activeModalWidget();
}

}  // namespace

ModalScript::ModalScript(std::vector<ModalStep> steps, int boundMs)
    : steps_(std::move(steps)),
      looksLeft_(boundMs / kLookIntervalMs),
      boundLooks_(boundMs / kLookIntervalMs) {
    timer_.setInterval(kLookIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &ModalScript::Look);
    timer_.start();
}

void ModalScript::Look() {
    QWidget* modal = TopModal();
    if (modal != nullptr && modal != lastAnswered_ && modal->isVisible()) {
        seen_ << modal->objectName();
        if (next_ < steps_.size() && modal->objectName() == steps_[next_].name) {
            lastAnswered_ = modal;
            auto act = steps_[next_].act;
            ++next_;
            looksLeft_ = boundLooks_;
            // Acted on outside this slot: the action may open a modal loop of its own.
            QTimer::singleShot(0, modal, [act, modal] { act(modal); });
            return;
        }
        GiveUp();  // a window nobody expected
        return;
    }
    if (modal == nullptr) {
        lastAnswered_ = nullptr;
    }
    // Once every step is done and no modal window is left, it only watches for windows nobody
    // expected; a window that its answer did not close still counts against the bound.
    if ((next_ < steps_.size() || modal != nullptr) && --looksLeft_ <= 0) {
        GiveUp();
    }
}

void ModalScript::GiveUp() {
    failed_ = true;
    timer_.stop();
    while (QWidget* modal = TopModal()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        QApplication::processEvents();
        if (TopModal() == modal) {
            break;
        }
    }
}

bool SpinUntil(const std::function<bool()>& done, int boundMs) {
    return QTest::qWaitFor(done, boundMs);
}

int RunUntilExit(const std::function<void()>& start, int boundMs) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-99); });
    watchdog.start(boundMs);
    QTimer::singleShot(0, qApp, start);
    return QApplication::exec();
}

}  // namespace vr::qttest
