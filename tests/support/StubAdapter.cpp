#include "support/StubAdapter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "shared/StatusKeys.h"

namespace vr::test {

class StubAdapter : public AdapterLink {
public:
    explicit StubAdapter(StubAdapters& script) : script_(script) {
        ++script_.created;
        ++script_.alive;
        script_.mostAlive = std::max(script_.mostAlive, script_.alive);
        script_.log_.emplace_back("new");
    }
    ~StubAdapter() override {
        --script_.alive;
        script_.log_.emplace_back("release");
    }
    StubAdapter(const StubAdapter&) = delete;
    StubAdapter& operator=(const StubAdapter&) = delete;

    bool InitDevice() override {
        script_.log_.emplace_back("init");
        if (script_.present.empty()) {
            return false;
        }
        const bool found = script_.present.front();
        script_.present.pop_front();
        return found;
    }
    bool ReadDevice() override {
        script_.log_.emplace_back("read");
        if (script_.onRead) {
            script_.onRead();
        }
        return false;
    }
    void CancelReading() override { script_.log_.emplace_back("cancel"); }
    void CloseDevice() override { script_.log_.emplace_back("close"); }

private:
    StubAdapters& script_;
};

AdapterFactory StubAdapters::Factory() {
    return
        [this]() -> std::unique_ptr<AdapterLink> { return std::make_unique<StubAdapter>(*this); };
}

void SimulateReception(MainWindowLink& window, ProgramState& state, FileSystem& files, int reports,
                       std::vector<std::string>& log) {
    std::unique_ptr<OutputFile> capture;
    for (int report = 0; report < reports && !window.ExitPending(); ++report) {
        if (!capture) {
            capture = files.OpenCaptureForAppend(state.CaptureFilePath);
            state.UnsavedData = true;
            if (window.SetStatusIcon(keyReceiving)) {
                window.DoEvents();
            }
        }
        std::array<std::uint8_t, 8> payload{};
        payload.fill(static_cast<std::uint8_t>('A' + report % 26));
        capture->Write(payload.data(), payload.size());
        window.DoEvents();
    }
    log.emplace_back("read cancelled");
    if (capture) {
        capture->Close();
        log.emplace_back("capture closed");
    }
    if (state.UnsavedData && !window.ExitPending()) {
        window.RestoreWindow();
        window.ShowWindow();
    }
    window.DoEvents();
}

}  // namespace vr::test
