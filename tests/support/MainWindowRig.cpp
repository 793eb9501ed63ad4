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

int MainWindowRig::CountTray(std::uint32_t message) const {
    return static_cast<int>(
        std::count_if(toolkit.trayCalls.begin(), toolkit.trayCalls.end(),
                      [&](const auto& call) { return call.message == message; }));
}

void MainWindowRig::ReceiveOnRead(int reports) {
    adapters.onRead = [this, reports] { SimulateReception(form, state, files, reports, log); };
}

void MainWindowRig::LoadIntoTray() {
    form.Form_Load();
    view.FireTimer();
}

}  // namespace vr::test
