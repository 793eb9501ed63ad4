#pragma once

#include <memory>
#include <string>

#include "adapter/USBAdapter.h"
#include "platform/fake/FakeHidPlatform.h"
#include "platform/headless/HeadlessToolkit.h"
#include "shared/ProgramState.h"
#include "shared/StatusKeys.h"
#include "support/TestFileSystem.h"
#include "support/TestWindow.h"

namespace vr::test {

inline const std::string kAdapterPath = R"(\\?\hid#vid_11d2&pid_0001#7&1a2b3c4d&0&0000#{4d1e55b2})";

// The scripted world an adapter object lives in: HID interfaces, a main window in the tray that
// has just shown "keyConnected", and a capture file path in a fresh temporary folder.
struct AdapterWorld : ScratchFiles {
    FakeHidPlatform platform;
    headless::HeadlessToolkit toolkit;
    ProgramState state;
    TestWindow window{toolkit, state};

    AdapterWorld() {
        state.CaptureFilePath = scratch.Path(kCaptureFileName);
        window.view.visible = false;
        window.view.state = WindowState::Minimized;
        window.SetStatusIcon(keyConnected);
        window.events.clear();
    }

    FakeHidInterface& AddInterface(const std::string& path, std::uint16_t vendor = AdapterVendorId,
                                   std::uint16_t product = AdapterProductId) {
        return platform.AddInterface(path, vendor, product);
    }

    // A new adapter object whose trace points are recorded in the platform's call log.
    std::unique_ptr<USBAdapter> MakeAdapter() {
        auto adapter =
            std::make_unique<USBAdapter>(AdapterContext{platform, platform, files, window, state});
        adapter->SetTraceObserver([this](std::string_view label) { platform.RecordTrace(label); });
        return adapter;
    }
};

}  // namespace vr::test
