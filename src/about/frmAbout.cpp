#include "about/frmAbout.h"

#include <string>

#include "shared/Version.h"

namespace vr {

void frmAbout::Show(WindowHandle owner) {
    if (IsLoaded()) {
        view_->BringToFront();
        return;
    }
    view_ = forms_.CreateAboutForm();
    Form_Load();
    view_->Show(owner, *this);
}

void frmAbout::cmdOK_Click() {
    if (view_) {
        view_->Unload();
    }
}

void frmAbout::Form_Load() {
    view_->SetCaption(std::string("About ") + kAppTitle);
    view_->SetTitleLabel(kAppTitle);
    view_->SetVersionLabel("Version " + VersionText());
}

}  // namespace vr
