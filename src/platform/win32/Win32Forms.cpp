#include "saving/APICommonDialog.h"

#include "platform/win32/Win32Forms.h"

#include <cmath>

#include "artwork/Artwork.h"
#include "platform/win32/Win32Artwork.h"
#include "platform/win32/Win32Window.h"
#include "shared/StatusKeys.h"

namespace vr::win32 {
namespace {

// A fixed dialog frame without control box, minimise or maximise button.
constexpr DWORD kFixedDialog = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kFixedDialogEx = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

int Px(double twips) {
    static const int dpi = ScreenDpi();
    return TwipsToPixels(twips, dpi);
}

void SetOwner(HWND window, HWND owner) {
    ::SetWindowLongPtrA(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

// frmProgress
class Win32ProgressForm : public Win32Window, public ProgressView {
public:
    explicit Win32ProgressForm(Win32Toolkit& toolkit) {
        Create(toolkit.Instance(), "Saving File. Please wait...", kFixedDialog, kFixedDialogEx,
               Px(3390), Px(1350), nullptr, nullptr);
        AddControl("BUTTON", "", BS_GROUPBOX, Px(120), Px(120), Px(3135), Px(1095), 0, nullptr);
        // The frame's contents, placed relative to the frame.
        lblStatus_ = AddControl("STATIC", "% Status", SS_CENTER, Px(120 + 120), Px(120 + 240),
                                Px(2895), Px(255), 0, nullptr);
        pbar_ = AddControl(PROGRESS_CLASSA, "", 0, Px(120 + 120), Px(120 + 720), Px(2895), Px(255),
                           0, nullptr);
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

// frmAppend
class Win32AppendForm : public Win32Window, public AppendView {
public:
    static constexpr int kCmdAppend = 101;
    static constexpr int kCmdOverwrite = 102;
    static constexpr int kCmdCancel = IDCANCEL;  // Esc

    explicit Win32AppendForm(Win32Toolkit& toolkit) : toolkit_(toolkit) {}
    ~Win32AppendForm() override {
        if (font_ != nullptr) {
            ::DeleteObject(font_);
        }
    }

    void ShowModal(WindowHandle owner, AppendFormHandlers& handlers) override {
        const HWND ownerWindow = ToHwnd(owner);
        handlers_ = &handlers;
        done_ = false;
        answered_ = false;
        Create(toolkit_.Instance(), " Append Options", kFixedDialog, kFixedDialogEx, Px(4440),
               Px(1425), ownerWindow, nullptr);
        font_ = CreateArialFont(8.25);
        AddControl("STATIC",
                   "This file already exists.  Please choose one of the options below:", 0, Px(240),
                   Px(120), Px(3975), Px(495), 0, nullptr);
        // Created in tab order: Cancel first, so the focus starts there.
        const HWND cmdCancel = AddControl("BUTTON", "&Cancel", BS_PUSHBUTTON | WS_TABSTOP, Px(3000),
                                          Px(840), Px(1275), Px(405), kCmdCancel, font_);
        AddControl("BUTTON", "&Append", BS_PUSHBUTTON | WS_TABSTOP, Px(120), Px(840), Px(1275),
                   Px(405), kCmdAppend, font_);
        AddControl("BUTTON", "&Overwrite", BS_DEFPUSHBUTTON | WS_TABSTOP, Px(1560), Px(840),
                   Px(1275), Px(405), kCmdOverwrite, font_);
        CentreWindow(hwnd(), ownerWindow);
        toolkit_.AddDialog(hwnd());
        const bool ownerEnabled = ownerWindow != nullptr && ::IsWindowEnabled(ownerWindow);
        if (ownerEnabled) {
            ::EnableWindow(ownerWindow, FALSE);
        }
        ::ShowWindow(hwnd(), SW_SHOW);
        ::SetFocus(cmdCancel);

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
    HFONT font_ = nullptr;
    bool done_ = false;
    bool answered_ = false;
};

// frmAbout
class Win32AboutForm : public Win32Window, public AboutView {
public:
    explicit Win32AboutForm(Win32Toolkit& toolkit) : toolkit_(toolkit) {
        Create(toolkit.Instance(), "About ...", kFixedDialog | WS_SYSMENU, kFixedDialogEx, Px(4200),
               Px(1275), nullptr, nullptr);
        const HICON icon = ToHicon(toolkit.StatusImage(keyVR));
        ::SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        labelFont_ = CreateArialFont(9);
        buttonFont_ = CreateArialFont(8.25);
        logo_ = CreateBitmapFromImage(artwork::Logo(125, 70), ::GetSysColor(COLOR_BTNFACE));
        const HWND picIcon =
            AddControl("STATIC", "", SS_BITMAP, Px(90), Px(120), Px(1875), Px(1050), 0, nullptr);
        ::SendMessageA(picIcon, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_));
        lblTitle_ = AddControl("STATIC", "Infrared USB Adapter", 0, Px(2040), Px(120), Px(2085),
                               Px(240), 0, labelFont_);
        lblVersion_ =
            AddControl("STATIC", "Version", 0, Px(2040), Px(450), Px(2085), Px(225), 0, labelFont_);
        cmdOK_ = AddControl("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, Px(2880), Px(870),
                            Px(1260), Px(345), IDOK, buttonFont_);
        toolkit_.AddDialog(hwnd());
    }
    ~Win32AboutForm() override {
        toolkit_.RemoveDialog(hwnd());
        DestroyNow();
        for (HGDIOBJ object : {static_cast<HGDIOBJ>(labelFont_), static_cast<HGDIOBJ>(buttonFont_),
                               static_cast<HGDIOBJ>(logo_)}) {
            if (object != nullptr) {
                ::DeleteObject(object);
            }
        }
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
    HFONT labelFont_ = nullptr;
    HFONT buttonFont_ = nullptr;
    HBITMAP logo_ = nullptr;
    bool loaded_ = false;
};

// The NUL-separated text of a record field, at its full length.
char* Text(std::string& text) {
    return text.empty() ? nullptr : text.data();
}

}  // namespace

void FillOpenFileName(const FileDialogRequest& request, OpenFileNameRecord& record, HWND owner) {
    record.filter = request.Filter.empty() ? BuildFilterString({"All Files"}) : request.Filter;
    record.file = request.DefaultFile.substr(0, kFileBufferLength - 1);
    record.file.resize(kFileBufferLength, '\0');
    record.fileTitle.assign(kFileBufferLength, '\0');
    record.initialDir = request.InitialDir;
    record.title = request.DialogTitle;
    record.defaultExt = request.DefaultExt;

    OPENFILENAMEA& ofn = record.ofn;
    ofn = OPENFILENAMEA{};
    // The record without the fields that later versions of the system added.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.hInstance = nullptr;
    ofn.lpstrFilter = record.filter.c_str();
    ofn.lpstrCustomFilter = nullptr;
    ofn.nMaxCustFilter = 0;
    ofn.nFilterIndex = static_cast<DWORD>(request.FilterIndex);
    ofn.lpstrFile = record.file.data();
    ofn.nMaxFile = kFileBufferLength - 1;
    ofn.lpstrFileTitle = record.fileTitle.data();
    ofn.nMaxFileTitle = kFileBufferLength - 1;
    ofn.lpstrInitialDir = record.initialDir.c_str();
    ofn.lpstrTitle = record.title.c_str();
    ofn.Flags = static_cast<DWORD>(request.DialogFlags);
    ofn.lpstrDefExt = Text(record.defaultExt);
    ofn.lCustData = 0;
    ofn.lpfnHook = nullptr;
    ofn.lpTemplateName = nullptr;
}

void CopyDialogResult(const OpenFileNameRecord& record, FileDialogRequest& request) {
    request.ChosenFile = std::string(record.file.c_str());
    request.ChosenTitle = record.fileTitle;
    request.FileOffset = static_cast<std::int16_t>(record.ofn.nFileOffset);
    request.ExtensionOffset = static_cast<std::int16_t>(record.ofn.nFileExtension);
}

bool Win32Forms::RunSaveDialog(FileDialogRequest& request, WindowHandle owner) {
    OpenFileNameRecord record;
    FillOpenFileName(request, record, ToHwnd(owner));
    if (::GetSaveFileNameA(&record.ofn) == FALSE) {
        return false;
    }
    CopyDialogResult(record, request);
    return true;
}

std::unique_ptr<ProgressView> Win32Forms::CreateProgressForm() {
    return std::make_unique<Win32ProgressForm>(toolkit_);
}

std::unique_ptr<AppendView> Win32Forms::CreateAppendForm() {
    return std::make_unique<Win32AppendForm>(toolkit_);
}

std::unique_ptr<AboutView> Win32Forms::CreateAboutForm() {
    return std::make_unique<Win32AboutForm>(toolkit_);
}

}  // namespace vr::win32
