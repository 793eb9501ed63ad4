#pragma once

#include <memory>
#include <string>

#include "adapter/USBAdapter.h"
#include "platform/fake/FakeHidPlatform.h"
#include "shared/ProgramState.h"
#include "shared/StatusKeys.h"
#include "support/FakeMainWindow.h"
#include "support/TestFileSystem.h"

namespace vr {

inline const std::string kAdapterPath = R"(\\?\hid#vid_11d2&pid_0001#7&1a2b3c4d&0&0000#{4d1e55b2})";

// The scripted world an adapter object lives in: HID interfaces, a main window that has just
// shown "keyConnected", and a capture file path in a fresh temporary folder.
struct AdapterWorld {
    FakeHidPlatform platform;
    ScratchFolder folder;
    TestFileSystem realFiles{folder.Path()};
    FailingFileSystem files{realFiles};
    FakeMainWindow window;
    ProgramState state;

    AdapterWorld() {
        state.CaptureFilePath = realFiles.TempFolder() + kCaptureFileName;
        window.icon = keyConnected;
    }

    void AddInterface(const std::string& path, std::uint16_t vendor, std::uint16_t product) {
        FakeHidInterface hid;
        hid.path = path;
        hid.vendor = vendor;
        hid.product = product;
        platform.interfaces.push_back(hid);
    }

    // A new adapter object whose trace points are recorded in the platform's call log.
    std::unique_ptr<USBAdapter> MakeAdapter() {
        auto adapter =
            std::make_unique<USBAdapter>(AdapterContext{platform, platform, files, window, state});
        adapter->SetTraceObserver([this](std::string_view label) { platform.RecordTrace(label); });
        return adapter;
    }
};

}  // namespace vr
