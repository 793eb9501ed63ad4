#include "platform/win32/Win32Forms.h"

#include "platform/win32/Win32Window.h"
#include "saving/frmAppendDesign.h"

namespace vr::win32 {
namespace {

// frmAppend
class Win32AppendForm : public Win32Window, public AppendView {
public:
    static constexpr int kCmdAppend = 101;
    static constexpr int kCmdOverwrite = 102;
    static constexpr int kCmdCancel = IDCANCEL;  // Esc

    explicit Win32AppendForm(Win32Toolkit& toolkit) : toolkit_(toolkit) {}

    void ShowModal(WindowHandle owner, AppendFormHandlers& handlers) override {
        const HWND ownerWindow = ToHwnd(owner);
        handlers_ = &handlers;
        done_ = false;
        answered_ = false;
        Create(toolkit_.Instance(), design::kAppendForm, ownerWindow, nullptr);
        AddControls(design::kAppendForm, design::kAppendControls,
                    {{"cmdCancel", kCmdCancel},
                     {"cmdAppend", kCmdAppend},
                     {"cmdOverwrite", kCmdOverwrite}});
        CentreWindow(hwnd(), ownerWindow);
        toolkit_.AddDialog(hwnd());
        const bool ownerEnabled = ownerWindow != nullptr && ::IsWindowEnabled(ownerWindow);
        if (ownerEnabled) {
            ::EnableWindow(ownerWindow, FALSE);
        }
        ::ShowWindow(hwnd(), SW_SHOW);
        ::SetFocus(Item("cmdCancel"));  // the first in tab order

        MSG message{};
        while (!done_) {
            const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
            if (got == 0 || got == -1) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            toolkit_.Dispatch(message);
        }

        if (ownerEnabled) {
            ::EnableWindow(ownerWindow, TRUE);
        }
        toolkit_.RemoveDialog(hwnd());
        DestroyNow();
        if (ownerWindow != nullptr && ::IsWindowVisible(ownerWindow)) {
            ::SetActiveWindow(ownerWindow);
        }
        handlers_ = nullptr;
    }

    void Unload() override { done_ = true; }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        switch (message) {
            case WM_COMMAND:
                switch (LOWORD(wParam)) {
                    case kCmdAppend:
                        Answer(&AppendFormHandlers::cmdAppend_Click);
                        return true;
                    case kCmdOverwrite:
                    case IDOK:  // Enter away from the buttons: the default button
                        Answer(&AppendFormHandlers::cmdOverwrite_Click);
                        return true;
                    case kCmdCancel:
                        Answer(&AppendFormHandlers::cmdCancel_Click);
                        return true;
                    default:
                        return false;
                }
            case DM_GETDEFID:
                result = MAKELRESULT(kCmdOverwrite, DC_HASDEFID);
                return true;
            case WM_CLOSE:
                // Closed some other way (Alt+F4): that is no choice to export on.
                Answer(&AppendFormHandlers::cmdCancel_Click);
                result = 0;
                return true;
            default:
                return false;
        }
    }

private:
    void Answer(void (AppendFormHandlers::*click)()) {
        if (answered_ || handlers_ == nullptr) {
            return;
        }
        answered_ = true;
        (handlers_->*click)();
        done_ = true;  // the handler unloads the form; it is over either way
    }

    Win32Toolkit& toolkit_;
    AppendFormHandlers* handlers_ = nullptr;
    bool done_ = false;
    bool answered_ = false;
};

}  // namespace

std::unique_ptr<AppendView> Win32Forms::CreateAppendForm() {
    return std::make_unique<Win32AppendForm>(toolkit_);
}

}  // namespace vr::win32
