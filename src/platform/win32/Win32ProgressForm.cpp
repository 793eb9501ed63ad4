#include "platform/win32/Win32Forms.h"

#include <algorithm>
#include <cmath>

#include "platform/win32/Win32Window.h"
#include "saving/frmProgressDesign.h"

namespace vr::win32 {
namespace {

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
        ::SendMessageA(pbar_, PBM_SETPOS, static_cast<WPARAM>(std::lround(value)), 0);
    }
    void SetStatus(const std::string& caption) override {
        ::SetWindowTextA(lblStatus_, caption.c_str());
    }
    void Show(WindowHandle owner) override {
        SetOwner(hwnd(), ToHwnd(owner));
        CentreWindow(hwnd(), nullptr);
        ::ShowWindow(hwnd(), SW_SHOWNA);
        ::UpdateWindow(hwnd());
    }
    void Unload() override { ::ShowWindow(hwnd(), SW_HIDE); }

protected:
    bool OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
        if (message == WM_CLOSE) {  // no control box: the export closes the form
            result = 0;
            return true;
        }
        return false;
    }

private:
    // An empty range (0 to 0) shows an empty bar.
    void ApplyRange() {
        ::SendMessageA(pbar_, PBM_SETRANGE32, static_cast<WPARAM>(min_),
                       static_cast<LPARAM>(std::max(max_, min_ + 1)));
    }

    HWND lblStatus_ = nullptr;
    HWND pbar_ = nullptr;
    long min_ = 0;
    long max_ = 0;
};

}  // namespace

std::unique_ptr<ProgressView> Win32Forms::CreateProgressForm() {
    return std::make_unique<Win32ProgressForm>(toolkit_);
}

}  // namespace vr::win32
