#include "support/MainWindowRig.h"

#include <algorithm>

namespace vr::test {

MainWindowRig::MainWindowRig()
    : form(MainWindowParts{view, toolkit, files, state, adapters.Factory(),
                           [this] {
                               if (onSave) {
                                   onSave();
                               }
                           },
                           [this] { ++aboutBoxes; }, [this] { return saveBusy; }}) {
    view.onResize = [this] { form.Form_Resize(); };
    view.onTick = [this] { form.tmr_Timer(); };
    view.onPopupPick = [this] { form.mPopExit_Click(); };
}

std::vector<std::uint32_t> MainWindowRig::TrayMessages() const {
    std::vector<std::uint32_t> messages;
    for (const auto& call : toolkit.trayCalls) {
        messages.push_back(call.message);
    }
    return messages;
}

int MainWindowRig::CountTray(std::uint32_t message) const {
    const auto messages = TrayMessages();
    return static_cast<int>(std::count(messages.begin(), messages.end(), message));
}

void MainWindowRig::ReceiveOnRead(int reports) {
    adapters.onRead = [this, reports] { SimulateReception(form, state, files, reports, log); };
}

void MainWindowRig::LoadIntoTray() {
    form.Form_Load();
    view.FireTimer();
}

}  // namespace vr::test
