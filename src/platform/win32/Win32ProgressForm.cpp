#include "platform/win32/Win32Forms.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/win32/Win32Window.h"
#include "saving/frmProgressDesign.h"

namespace vr::win32 {
namespace {

// A large capture moves the progress on hundreds of thousands of times. The controls take the
// latest value and status at most this often: each change is a repaint and an event for screen
// readers, which would slow the save down and flood them. What the screen shows is the same,
// since the form is painted only between the export's blocks anyway.
constexpr ULONGLONG kRefreshMs = 100;
constexpr UINT_PTR kRefreshTimer = 1;

// frmProgress
class Win32ProgressForm : public Win32Window, public ProgressView {
public:
    explicit Win32ProgressForm(Win32Toolkit& toolkit) {
        Create(toolkit.Instance(), design::kProgressForm, nullptr, nullptr);
        AddControls(design::kProgressForm, design::kProgressControls, {});
        lblStatus_ = Item("lblStatus");
        pbar_ = Item("pbar");
    }

    void SetMin(float value) override {
        min_ = std::lround(value);
        ApplyRange();
    }
    void SetMax(float value) override {
        max_ = std::lround(value);
        ApplyRange();
    }
    void SetValue(float value) override {
        value_ = std::lround(value);
        Changed();
    }
    void SetStatus(const std::string& caption) override {
        status_ = caption;
        Changed();
    }
    void Show(WindowHandle owner) override {
        SetOwner(hwnd(), ToHwnd(owner));
        CentreWindow(hwnd(), nullptr);
        ::ShowWindow(hwnd(), SW_SHOWNA);
        ::UpdateWindow(hwnd());
    }
    void Unload() override {
        ::KillTimer(hwnd(), kRefreshTimer);
        ::ShowWindow(hwnd(), SW_HIDE);
    }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        if (message == WM_CLOSE) {  // no control box: the export closes the form
            result = 0;
            return true;
        }
        if (message == WM_TIMER && wParam == kRefreshTimer) {
            Refresh();
            return true;
        }
        return false;
    }

private:
    void Changed() {
        const ULONGLONG now = ::GetTickCount64();
        if (shownAt_ == 0 || now - shownAt_ >= kRefreshMs) {
            Refresh();
        } else if (!refreshDue_) {
            refreshDue_ = true;
            ::SetTimer(hwnd(), kRefreshTimer, static_cast<UINT>(kRefreshMs - (now - shownAt_)),
                       nullptr);
        }
    }
    void Refresh() {
        ::KillTimer(hwnd(), kRefreshTimer);
        refreshDue_ = false;
        shownAt_ = ::GetTickCount64();
        ::SendMessageA(pbar_, PBM_SETPOS, static_cast<WPARAM>(value_), 0);
        ::SetWindowTextA(lblStatus_, status_.c_str());
    }

    // An empty range (0 to 0) shows an empty bar.
    void ApplyRange() {
        ::SendMessageA(pbar_, PBM_SETRANGE32, static_cast<WPARAM>(min_),
                       static_cast<LPARAM>(std::max(max_, min_ + 1)));
    }

    HWND lblStatus_ = nullptr;
    HWND pbar_ = nullptr;
    long min_ = 0;
    long max_ = 0;
    long value_ = 0;
    std::string status_;
    ULONGLONG shownAt_ = 0;  // when the controls last took the value and status
    bool refreshDue_ = false;
};

}  // namespace

std::unique_ptr<ProgressView> Win32Forms::CreateProgressForm() {
    return std::make_unique<Win32ProgressForm>(toolkit_);
}

}  // namespace vr::win32
