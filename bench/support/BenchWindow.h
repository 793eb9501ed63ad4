#pragma once

// The surroundings the adapter link and the export need, reduced to what costs nothing of its
// own, so that a benchmark times the program's code: a main window whose yields run a
// hook (nothing, or the toolkit's event processing), a priority platform that accepts every
// call, and forms whose progress texts are kept but not shown.

#include <functional>
#include <memory>
#include <string>

#include "adapter/HidPlatform.h"
#include "shared/MainWindowLink.h"
#include "shared/Toolkit.h"

namespace vr::bench {

class BenchWindow final : public MainWindowLink {
public:
    std::function<void()> onDoEvents;  // empty: a yield finds nothing to do
    std::string icon;
    int yields = 0;

    bool SetStatusIcon(const std::string& key) override {
        if (key == icon) {
            return false;
        }
        icon = key;
        return true;
    }
    void RestoreWindow() override {}
    void ShowWindow() override {}
    WindowHandle GetWindowHandle() const override { return 1; }
    void DoEvents() override {
        ++yields;
        if (onDoEvents) {
            onDoEvents();
        }
    }
    void SetTimerEnabled(bool enabled) override { timer_ = enabled; }
    bool TimerEnabled() const override { return timer_; }
    void MinimizeWindow() override {}
    bool ExitPending() const override { return false; }

private:
    bool timer_ = false;
};

class BenchPriority final : public PriorityPlatform {
public:
    std::uint32_t GetWindowThreadProcessId(WindowHandle /*window*/,
                                           std::uint32_t* processId) override {
        *processId = 1;
        return 1;
    }
    Handle OpenProcess(std::uint32_t /*access*/, bool /*inherit*/, std::uint32_t /*id*/) override {
        return 4;
    }
    bool SetPriorityClass(Handle /*process*/, std::uint32_t /*priorityClass*/) override {
        return true;
    }
    bool CloseHandle(Handle /*handle*/) override { return true; }
};

class BenchProgress final : public ProgressView {
public:
    explicit BenchProgress(std::string& last) : last_(last) {}
    void SetMin(float /*value*/) override {}
    void SetMax(float /*value*/) override {}
    void SetValue(float /*value*/) override {}
    void SetStatus(const std::string& caption) override { last_ = caption; }
    void Show(WindowHandle /*owner*/) override {}
    void Unload() override {}

private:
    std::string& last_;
};

class BenchForms final : public FormFactory {
public:
    std::string lastStatus;

    bool RunSaveDialog(FileDialogRequest& /*request*/, WindowHandle /*owner*/) override {
        return false;
    }
    std::unique_ptr<ProgressView> CreateProgressForm() override {
        return std::make_unique<BenchProgress>(lastStatus);
    }
    std::unique_ptr<AppendView> CreateAppendForm() override { return nullptr; }
    std::unique_ptr<AboutView> CreateAboutForm() override { return nullptr; }
};

}  // namespace vr::bench
