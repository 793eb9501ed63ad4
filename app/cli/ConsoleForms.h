#pragma once

// The forms a console tool can show: the progress of an export as lines of text on a stream.
// Dialogs that need a person at a screen are not available.

#include <ostream>

#include "shared/Toolkit.h"

namespace vr::cli {

// frmProgress as text: each status text it would show, one per line, in order.
class ConsoleProgress final : public ProgressView {
public:
    explicit ConsoleProgress(std::ostream& out) : out_(out) {}
    void SetMin(float /*value*/) override {}
    void SetMax(float /*value*/) override {}
    void SetValue(float /*value*/) override {}
    void SetStatus(const std::string& caption) override { out_ << caption << '\n' << std::flush; }
    void Show(WindowHandle /*owner*/) override {}
    void Unload() override {}

private:
    std::ostream& out_;
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
