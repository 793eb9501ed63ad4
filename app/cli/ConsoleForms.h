#pragma once

// The forms a console tool can show: the progress of an export as lines of text on a stream.
// Dialogs that need a person at a screen are not available.

#include <chrono>
#include <ostream>
#include <string>

#include "shared/Toolkit.h"

namespace vr::cli {

// frmProgress as text: each status text it would show, one per line, in order. A large export
// has hundreds of thousands of them, so they are written in batches: the first at once, the rest
// whenever a batch is full or a tenth of a second has passed, and what remains when the form is
// unloaded.
class ConsoleProgress final : public ProgressView {
public:
    explicit ConsoleProgress(std::ostream& out) : out_(out) {}
    ~ConsoleProgress() override { Flush(); }
    ConsoleProgress(const ConsoleProgress&) = delete;
    ConsoleProgress& operator=(const ConsoleProgress&) = delete;

    void SetMin(float /*value*/) override {}
    void SetMax(float /*value*/) override {}
    void SetValue(float /*value*/) override {}
    void SetStatus(const std::string& caption) override;
    void Show(WindowHandle /*owner*/) override {}
    void Unload() override { Flush(); }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kBatchBytes = 64 * 1024;
    static constexpr unsigned kTextsPerClockCheck = 1024;
    static constexpr Clock::duration kMaxDelay = std::chrono::milliseconds(100);

    void Flush();

    std::ostream& out_;
    std::string pending_;
    unsigned sinceClockCheck_ = 0;
    bool anyWritten_ = false;
    Clock::time_point lastFlush_ = Clock::now();
};

class ConsoleForms final : public FormFactory {
public:
    explicit ConsoleForms(std::ostream& progressOut) : progressOut_(progressOut) {}
    bool RunSaveDialog(FileDialogRequest& request, WindowHandle owner) override;
    std::unique_ptr<ProgressView> CreateProgressForm() override;
    std::unique_ptr<AppendView> CreateAppendForm() override;
    std::unique_ptr<AboutView> CreateAboutForm() override;

private:
    std::ostream& progressOut_;
};

}  // namespace vr::cli
