// The tool on Windows: hid.dll and setupapi for the adapter, priority classes, kernel32 files,
// device notifications on a message-only window, Ctrl+C through the console's handler.
#include <atomic>
#include <memory>

#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "platform/win32/HidInterfaceNotification.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32HidPlatform.h"
#include "platform/win32/Win32PriorityPlatform.h"

namespace vr::cli {
namespace {

constexpr const char* kWindowClass = "VeradaRedeCliInterfaceChanges";

// A window that only receives messages: the system tells it when a HID interface arrives or
// leaves, as it tells the tray program's window. Waiting on it sleeps until then.
class InterfaceChangeWindow {
public:
    InterfaceChangeWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassA(&windowClass);
        window_ = ::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr);
        if (window_ != nullptr) {
            ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            notification_ = std::make_unique<win32::HidInterfaceNotification>(window_);
        }
    }
    ~InterfaceChangeWindow() {
        notification_.reset();
        if (window_ != nullptr) {
            ::DestroyWindow(window_);
        }
    }
    InterfaceChangeWindow(const InterfaceChangeWindow&) = delete;
    InterfaceChangeWindow& operator=(const InterfaceChangeWindow&) = delete;

    bool Watching() const { return notification_ && notification_->Registered(); }

    // True once a HID interface arrived or left; false when `timeout` passes first or Wake().
    bool Await(std::chrono::milliseconds timeout) {
        const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
        for (;;) {
            MSG message;
            while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::DispatchMessageA(&message);
            }
            if (woken_.load()) {
                return false;
            }
            if (changed_) {
                changed_ = false;
                return true;
            }
            const ULONGLONG now = ::GetTickCount64();
            if (now >= end ||
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now),
                                            QS_ALLINPUT) == WAIT_TIMEOUT) {
                return false;
            }
        }
    }

    // Ends the present and every later Await at once; any thread may call it.
    void Wake() {
        woken_ = true;
        ::PostMessageA(window_, WM_NULL, 0, 0);
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self =
            reinterpret_cast<InterfaceChangeWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && message == WM_DEVICECHANGE &&
            win32::HidInterfaceNotification::IsInterfaceChange(wParam, lParam)) {
            self->changed_ = true;
            return TRUE;
        }
        return ::DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    std::unique_ptr<win32::HidInterfaceNotification> notification_;
    bool changed_ = false;
    std::atomic<bool> woken_{false};
};

// Runs on a thread the system starts for it. The first Ctrl+C (or Ctrl+Break) asks for the end;
// for the next, the system's own handler ends the tool at once.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    return RequestInterrupt() ? TRUE : FALSE;
}

}  // namespace

void AttachNativeHid(HidBackend& backend) {
    backend.hid = std::make_unique<win32::Win32HidPlatform>();
    backend.clock = std::make_unique<sim::RealClock>();
    backend.priority = std::make_unique<win32::Win32PriorityPlatform>();
    backend.takeDiagnosis = [] { return std::nullopt; };
    auto changes = std::make_shared<InterfaceChangeWindow>();
    if (changes->Watching()) {
        backend.awaitChange = [changes](std::chrono::milliseconds timeout) {
            return changes->Await(timeout);
        };
        backend.wakeAwaitChange = [changes] { changes->Wake(); };
    }
}

std::unique_ptr<FileSystem> NewNativeFileSystem() {
    return std::make_unique<win32::Win32FileSystem>();
}

void InstallInterruptHandler() {
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void PrepareNativeConsole() {
    // The manifest makes the program's code page UTF-8; the console's own stays the OEM one.
    ::SetConsoleOutputCP(CP_UTF8);
}

std::string OpenErrorText(std::uint32_t error) {
    return win32::SystemErrorText(error);
}

}  // namespace vr::cli
