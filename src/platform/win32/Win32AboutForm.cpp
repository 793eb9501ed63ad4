#include "platform/win32/Win32Forms.h"

#include "about/frmAboutDesign.h"
#include "platform/win32/Win32Window.h"

namespace vr::win32 {
namespace {

// frmAbout
class Win32AboutForm : public Win32Window, public AboutView {
public:
    explicit Win32AboutForm(Win32Toolkit& toolkit) : toolkit_(toolkit) {
        Create(toolkit.Instance(), design::kAboutForm, nullptr, nullptr);
        const HICON icon = ToHicon(toolkit.StatusImage(std::string(design::kAboutForm.iconKey)));
        ::SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        AddControls(design::kAboutForm, design::kAboutControls, {{"cmdOK", IDOK}});
        lblTitle_ = Item("lblTitle");
        lblVersion_ = Item("lblVersion");
        cmdOK_ = Item("cmdOK");
        toolkit_.AddDialog(hwnd());
    }
    ~Win32AboutForm() override {
        toolkit_.RemoveDialog(hwnd());
        DestroyNow();
    }
    Win32AboutForm(const Win32AboutForm&) = delete;
    Win32AboutForm& operator=(const Win32AboutForm&) = delete;

    void SetCaption(const std::string& caption) override {
        ::SetWindowTextA(hwnd(), caption.c_str());
    }
    void SetTitleLabel(const std::string& text) override {
        ::SetWindowTextA(lblTitle_, text.c_str());
    }
    void SetVersionLabel(const std::string& text) override {
        ::SetWindowTextA(lblVersion_, text.c_str());
    }
    void Show(WindowHandle owner, AboutFormHandlers& handlers) override {
        handlers_ = &handlers;
        const HWND ownerWindow = ToHwnd(owner);
        SetOwner(hwnd(), ownerWindow);
        loaded_ = true;
        CentreWindow(hwnd(), ownerWindow);
        ::ShowWindow(hwnd(), SW_SHOW);
        ::SetFocus(cmdOK_);
    }
    void BringToFront() override {
        ::SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::SetForegroundWindow(hwnd());
    }
    bool IsLoaded() const override { return loaded_; }
    void Unload() override {
        loaded_ = false;
        handlers_ = nullptr;
        ::ShowWindow(hwnd(), SW_HIDE);
    }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        switch (message) {
            case WM_COMMAND:
                // OK, Enter and Esc all press cmdOK.
                if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                    if (handlers_ != nullptr) {
                        handlers_->cmdOK_Click();
                    }
                    return true;
                }
                return false;
            case WM_CLOSE:
                Unload();
                result = 0;
                return true;
            default:
                return false;
        }
    }

private:
    Win32Toolkit& toolkit_;
    AboutFormHandlers* handlers_ = nullptr;
    HWND lblTitle_ = nullptr;
    HWND lblVersion_ = nullptr;
    HWND cmdOK_ = nullptr;
    bool loaded_ = false;
};

}  // namespace

std::unique_ptr<AboutView> Win32Forms::CreateAboutForm() {
    return std::make_unique<Win32AboutForm>(toolkit_);
}

}  // namespace vr::win32
