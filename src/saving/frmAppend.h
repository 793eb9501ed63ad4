#pragma once

#include <memory>

#include "shared/Toolkit.h"

namespace vr {

// The question for a target that exists: Append, Overwrite or Cancel. Its buttons answer through
// the save command's flags `AppendToFile` and `SaveCancelled`, then unload the form.
class frmAppend : public AppendFormHandlers {
public:
    frmAppend(FormFactory& forms, bool& appendToFile, bool& saveCancelled)
        : forms_(forms), appendToFile_(appendToFile), saveCancelled_(saveCancelled) {}

    // Loads the form, runs it modal over `owner` and returns once it is unloaded. Closing it
    // other than through a button counts as Cancel: no export on a choice the user did not make.
    void ShowModal(WindowHandle owner);

    void cmdAppend_Click() override;
    void cmdOverwrite_Click() override;
    void cmdCancel_Click() override;

private:
    void Answer();

    FormFactory& forms_;
    bool& appendToFile_;
    bool& saveCancelled_;
    std::unique_ptr<AppendView> view_;
    bool answered_ = false;
};

}  // namespace vr
