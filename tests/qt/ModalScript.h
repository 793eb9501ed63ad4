#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <ostream>
#include <vector>

class QWidget;

namespace vr::qttest {

// One answer to a modal window (a dialog, a message box, a popup menu): the object name of the
// window it expects and what to do with it.
struct ModalStep {
    QString name;
    std::function<void(QWidget*)> act;
};

// Answers modal windows from inside their event loops, in order. When an expected window does not
// come up within the bound, or one nobody expected does, every modal and popup window is closed
// and the script counts as failed, so that no test can hang.
class ModalScript : public QObject {
public:
    explicit ModalScript(std::vector<ModalStep> steps, int boundMs = 10000);

    bool Finished() const { return next_ == steps_.size() && !failed_; }
    // Object names of the modal windows seen, answered or not.
    const QStringList& Seen() const { return seen_; }

private:
    void Look();
    void GiveUp();

    std::vector<ModalStep> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
    int looksLeft_;
    int boundLooks_;
    bool failed_ = false;
    QStringList seen_;
    QWidget* lastAnswered_ = nullptr;
};

// Spins the event loop until `done` holds or `boundMs` has passed; returns `done()`.
bool SpinUntil(const std::function<bool()>& done, int boundMs = 10000);

// Runs the application's event loop, starting with `start`, until the program asks it to end;
// returns the exit code, or -99 when it had not ended within `boundMs`. An exit requested
// outside the application's loop would leave later modal loops ending at once.
int RunUntilExit(const std::function<void()>& start, int boundMs = 15000);

}  // namespace vr::qttest

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
