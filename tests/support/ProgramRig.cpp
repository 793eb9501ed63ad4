#include "support/ProgramRig.h"

#include <utility>

#include "adapter/USBAdapter.h"

namespace vr::test {

ProgramRig::ProgramRig() : ProgramRig(nullptr, nullptr) {
    FakeHidInterface adapter;
    adapter.path = "/dev/hidraw0";
    adapter.vendor = AdapterVendorId;
    adapter.product = AdapterProductId;
    hid.interfaces.push_back(adapter);
}

ProgramRig::ProgramRig(HidPlatform& hidPlatform, PriorityPlatform& priority)
    : ProgramRig(&hidPlatform, &priority) {}

ProgramRig::ProgramRig(HidPlatform* hidPlatform, PriorityPlatform* priority)
    : program_({hidPlatform != nullptr ? *hidPlatform : hid, priority != nullptr ? *priority : hid,
                files},
               view, toolkit, forms) {
    view.onResize = [this] { form->Form_Resize(); };
    view.onTick = [this] { form->tmr_Timer(); };
    view.onPopupPick = [this] { form->mPopExit_Click(); };
}

bool ProgramRig::Load() {
    form->Form_Load();
    return !view.visible && view.timerEnabled && form->Loaded();
}

void ProgramRig::Save(const std::string& target, headless::AppendAnswer answer) {
    forms.saveDialogAnswers.emplace_back(target);
    forms.appendAnswers.push_back(answer);
    form->cmdSave_Click();
    forms.saveDialogAnswers.clear();
    forms.appendAnswers.clear();
}

}  // namespace vr::test
