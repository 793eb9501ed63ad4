#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "saving/FileDialogRequest.h"
#include "shared/Toolkit.h"

namespace vr::headless {

// What one showing of frmProgress displayed.
struct ProgressRecord {
    std::vector<std::string> statusTexts;
    std::vector<float> values;
    float min = 0;
    float max = 0;
    bool shown = false;
    WindowHandle owner = 0;
    bool unloaded = false;
};

struct AboutRecord {
    std::string caption;
    std::string titleLabel;
    std::string versionLabel;
    bool shown = false;
    bool loaded = false;
    WindowHandle owner = 0;
    int broughtToFront = 0;
    AboutFormHandlers* handlers = nullptr;
};

enum class AppendAnswer { Append, Overwrite, Cancel, CloseBox };

struct SaveDialogCall {
    FileDialogRequest request;
    WindowHandle owner = 0;
};

// The dialogs and forms without a screen; answers come from queues the test fills.
class HeadlessForms : public FormFactory {
public:
    // --- scripting ---
    std::deque<std::optional<std::string>> saveDialogAnswers;  // nullopt: the user cancels
    std::deque<AppendAnswer> appendAnswers;                    // default: Cancel
    std::function<void()> duringProgress;  // runs after each status change (e.g. user actions)

    // --- what happened ---
    std::vector<SaveDialogCall> saveDialogs;
    std::vector<std::shared_ptr<ProgressRecord>> progressForms;
    std::vector<std::shared_ptr<AboutRecord>> aboutForms;
    int appendFormsShown = 0;
    int appendFormsUnloaded = 0;
    std::vector<WindowHandle> appendOwners;

    bool RunSaveDialog(FileDialogRequest& request, WindowHandle owner) override;
    std::unique_ptr<ProgressView> CreateProgressForm() override;
    std::unique_ptr<AppendView> CreateAppendForm() override;
    std::unique_ptr<AboutView> CreateAboutForm() override;
};

}  // namespace vr::headless
