#pragma once

#include <QString>

#include "platform/qt/QtToolkit.h"
#include "shared/Toolkit.h"

namespace vr::qt {

// The dialogs and forms that are loaded on demand, on Qt: the save dialog here, each form in
// its own file.
class QtForms : public FormFactory {
public:
    explicit QtForms(QtToolkit& toolkit) : toolkit_(toolkit) {}

    bool RunSaveDialog(FileDialogRequest& request, WindowHandle owner) override;
    std::unique_ptr<ProgressView> CreateProgressForm() override;
    std::unique_ptr<AppendView> CreateAppendForm() override;
    std::unique_ptr<AboutView> CreateAboutForm() override;

private:
    QtToolkit& toolkit_;
    QString lastFolder_;  // of the last save in this run
};

}  // namespace vr::qt
