#pragma once

#include <memory>

#include "shared/Toolkit.h"

namespace vr {

// The About box: the program's title and version. Not modal and owned by the main window, so the
// user can go on working beside it; there is only ever one. Enter and Esc press cmdOK.
class frmAbout : public AboutFormHandlers {
public:
    explicit frmAbout(FormFactory& forms) : forms_(forms) {}

    // Loads and shows the box, or brings the one already open to the front.
    void Show(WindowHandle owner);
    bool IsLoaded() const { return view_ && view_->IsLoaded(); }

    void cmdOK_Click() override;

private:
    void Form_Load();

    FormFactory& forms_;
    // Kept after an unload until the next Show: cmdOK_Click runs inside the view's own handler.
    std::unique_ptr<AboutView> view_;
};

}  // namespace vr
