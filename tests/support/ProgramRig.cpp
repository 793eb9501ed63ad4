#include "support/ProgramRig.h"

#include <algorithm>
#include <utility>

#include "adapter/USBAdapter.h"

namespace vr::test {

ProgramRig::ProgramRig() : ProgramRig(nullptr, nullptr) {}

ProgramRig::ProgramRig(HidPlatform& hidPlatform, PriorityPlatform& priority)
    : ProgramRig(&hidPlatform, &priority) {}

ProgramRig::ProgramRig(HidPlatform* hidPlatform, PriorityPlatform* priority)
    : program_({hidPlatform != nullptr ? *hidPlatform : hid, priority != nullptr ? *priority : hid,
                files},
               view, toolkit, forms) {
    ConnectHandlers(view, *form);
}

int ProgramRig::CountTray(std::uint32_t message) const {
    return static_cast<int>(
        std::count_if(toolkit.trayCalls.begin(), toolkit.trayCalls.end(),
                      [&](const auto& call) { return call.message == message; }));
}

void ProgramRig::PlugIn(int reports) {
    hid.AddInterface("/dev/hidraw0", AdapterVendorId, AdapterProductId);
    for (int i = 0; i < reports; ++i) {
        hid.script.push_back(FakeStep::Report(0, {'1', '0', ',', '2', '0', '\r', '\n', 0}));
    }
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
