#include "support/MainWindowRig.h"

#include <algorithm>
#include <memory>

#include "adapter/USBAdapter.h"

namespace vr::test {

MainWindowRig::MainWindowRig()
    : form(MainWindowParts{
          view, toolkit, files, state,
          [this]() -> std::unique_ptr<AdapterLink> {
              return std::make_unique<USBAdapter>(AdapterContext{hid, hid, files, form, state});
          },
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

void MainWindowRig::PlugIn(int reports) {
    FakeHidInterface& adapter = hid.interfaces.emplace_back();
    adapter.path = "/dev/hidraw0";
    adapter.vendor = AdapterVendorId;
    adapter.product = AdapterProductId;
    for (int i = 0; i < reports; ++i) {
        hid.script.push_back(FakeStep::Report(0, {'1', '0', ',', '2', '0', '\r', '\n', 0}));
    }
    hid.script.push_back(FakeStep::Silence());
}

void MainWindowRig::LoadIntoTray() {
    form.Form_Load();
    view.FireTimer();
}

}  // namespace vr::test
