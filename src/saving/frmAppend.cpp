#include "saving/frmAppend.h"

namespace vr {

void frmAppend::ShowModal(WindowHandle owner) {
    view_ = forms_.CreateAppendForm();
    answered_ = false;
    view_->ShowModal(owner, *this);
    if (!answered_) {
        saveCancelled_ = true;
    }
    view_.reset();
}

void frmAppend::cmdAppend_Click() {
    saveCancelled_ = false;
    appendToFile_ = true;
    Answer();
}

void frmAppend::cmdOverwrite_Click() {
    saveCancelled_ = false;
    appendToFile_ = false;
    Answer();
}

void frmAppend::cmdCancel_Click() {
    saveCancelled_ = true;
    Answer();
}

void frmAppend::Answer() {
    answered_ = true;
    if (view_) {
        view_->Unload();
    }
}

}  // namespace vr
