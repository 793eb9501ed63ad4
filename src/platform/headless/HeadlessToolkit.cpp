#include "platform/headless/HeadlessToolkit.h"

#include <utility>

#include "shared/StatusKeys.h"

namespace vr::headless {

HeadlessToolkit::HeadlessToolkit() {
    IconHandle next = 101;
    for (const char* key : kStatusKeys) {
        images_[key] = next++;
    }
}

void HeadlessToolkit::QueueEvent(std::function<void()> action) {
    events_.push_back(std::move(action));
}

void HeadlessToolkit::QueueEventAtDoEvents(int n, std::function<void()> action) {
    timed_.emplace(doEventsCount + n, std::move(action));
}

void HeadlessToolkit::QueueAnswer(int answer) {
    answers_.push_back(answer);
}

void HeadlessToolkit::QueueEventInMsgBox(std::function<void()> action) {
    inBox_.push_back(std::move(action));
}

void HeadlessToolkit::DoEvents() {
    ++doEventsCount;
    // Events queued while these run wait for a later DoEvents, as messages posted during a
    // handler wait for the next pass of the message loop.
    std::deque<std::function<void()>> due;
    due.swap(events_);
    auto range = timed_.equal_range(doEventsCount);
    for (auto it = range.first; it != range.second; ++it) {
        due.push_back(std::move(it->second));
    }
    timed_.erase(range.first, range.second);
    for (auto& action : due) {
        action();
    }
}

int HeadlessToolkit::MsgBox(const std::string& prompt, int style, const std::string& title) {
    int answer = (style & vbYesNo) == vbYesNo ? vbYes : vbOK;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    if (!inBox_.empty()) {
        auto action = std::move(inBox_.front());
        inBox_.pop_front();
        action();
    }
    messageBoxes.push_back({prompt, style, title, answer});
    return answer;
}

bool HeadlessToolkit::SetForegroundWindow(WindowHandle window) {
    foregroundCalls.push_back(window);
    return true;
}

bool HeadlessToolkit::Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data) {
    trayCalls.push_back({message, data});
    return trayAvailable;
}

IconHandle HeadlessToolkit::StatusImage(const std::string& key) {
    auto it = images_.find(key);
    return it == images_.end() ? 0 : it->second;
}

std::string HeadlessToolkit::KeyOfIcon(IconHandle icon) const {
    for (const auto& [key, handle] : images_) {
        if (handle == icon) {
            return key;
        }
    }
    return "";
}

}  // namespace vr::headless
