#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shared/Toolkit.h"

namespace vr::headless {

struct MessageBoxCall {
    std::string prompt;
    int style = 0;
    std::string title;
    int answer = 0;
};

struct TrayCall {
    std::uint32_t message = 0;
    NotifyIconData data;
};

// Toolkit services without a screen. User actions are queued as functions and run, in order,
// inside DoEvents (as the platform would deliver them from its message queue); message boxes
// take their answers from a queue too.
class HeadlessToolkit : public Toolkit {
public:
    HeadlessToolkit();

    // --- scripting ---
    // Runs `action` inside the next DoEvents (after those already queued).
    void QueueEvent(std::function<void()> action);
    // Runs `action` inside the DoEvents call number `n` (1-based, counted from now on).
    void QueueEventAtDoEvents(int n, std::function<void()> action);
    void QueueAnswer(int answer);  // next MsgBox answers this (default: vbOK / vbYes)
    // Runs `action` while the next MsgBox is up, as a modal box's own message loop would.
    void QueueEventInMsgBox(std::function<void()> action);
    std::size_t PendingEvents() const { return events_.size() + timed_.size(); }

    // --- what happened ---
    int doEventsCount = 0;
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<TrayCall> trayCalls;
    std::vector<WindowHandle> foregroundCalls;
    bool trayAvailable = true;  // false: Shell_NotifyIconA(NIM_ADD) fails, as with no tray host

    // --- Toolkit ---
    void DoEvents() override;
    int MsgBox(const std::string& prompt, int style, const std::string& title) override;
    bool SetForegroundWindow(WindowHandle window) override;
    bool Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data) override;
    IconHandle StatusImage(const std::string& key) override;

    // The key whose picture has this handle ("" when none).
    std::string KeyOfIcon(IconHandle icon) const;

private:
    std::deque<std::function<void()>> events_;
    std::multimap<int, std::function<void()>> timed_;  // by absolute DoEvents number
    std::deque<int> answers_;
    std::deque<std::function<void()>> inBox_;
    std::map<std::string, IconHandle> images_;
};

}  // namespace vr::headless
