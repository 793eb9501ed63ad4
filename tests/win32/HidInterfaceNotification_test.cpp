#include "mainwindow/frmMain.h"
#include "shared/ProgramState.h"

#include <gtest/gtest.h>

#include "platform/win32/HidInterfaceNotification.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32MainWindow.h"
#include "platform/win32/Win32Toolkit.h"

// After windows.h, which it relies on.
#include <dbt.h>

namespace vr::win32 {
namespace {

class AbsentAdapter final : public AdapterLink {
public:
    bool InitDevice() override { return false; }
    bool ReadDevice() override { return false; }
    void CancelReading() override {}
    void CloseDevice() override {}
};

// Registered on the main window, a HID interface arriving or leaving makes the sleeping main
// window search at once; other device news does not.
TEST(HidInterfaceNotification, HidArrivalsAndRemovalsWakeTheSearch) {
    Win32Toolkit toolkit{::GetModuleHandleA(nullptr)};
    Win32MainWindow window{toolkit};
    Win32FileSystem files;
    ProgramState state;
    int searches = 0;
    frmMain form(MainWindowParts{window,
                                 toolkit,
                                 files,
                                 state,
                                 [&searches] {
                                     ++searches;
                                     return std::make_unique<AbsentAdapter>();
                                 },
                                 {},
                                 {}});
    ConnectHandlers(window, form);
    HidInterfaceNotification notification(window.hwnd());
    ASSERT_TRUE(notification.Registered()) << notification.Error();
    form.WatchInterfaces(true);
    form.Form_Load();
    form.tmr_Timer();
    form.tmr_Timer();  // nothing changed since the search that found nothing: asleep
    ASSERT_EQ(searches, 1);
    EXPECT_FALSE(window.TimerEnabled());

    DEV_BROADCAST_DEVICEINTERFACE_A hid{};
    hid.dbcc_size = sizeof hid;
    hid.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    hid.dbcc_classguid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0, 0x11, 0x11, 0, 0, 0x30}};
    DEV_BROADCAST_DEVICEINTERFACE_A other = hid;
    other.dbcc_classguid.Data1 = 0x12345678;
    DEV_BROADCAST_HDR volume{sizeof volume, DBT_DEVTYP_VOLUME, 0};
    const struct {
        WPARAM event;
        const void* data;
        int searches;
    } cases[] = {{DBT_DEVICEARRIVAL, &hid, 2},     {DBT_DEVICEREMOVECOMPLETE, &hid, 3},
                 {DBT_DEVICEARRIVAL, &other, 3},   {DBT_DEVICEARRIVAL, &volume, 3},
                 {DBT_DEVICEQUERYREMOVE, &hid, 3}, {DBT_DEVNODES_CHANGED, nullptr, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.searches);
        // Sent, not posted: the system refuses to post a message that carries a pointer.
        ::SendMessageA(window.hwnd(), WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(c.data));
        EXPECT_EQ(searches, c.searches);
        form.tmr_Timer();  // the search's own tick re-armed the timer; this one sleeps again
        EXPECT_EQ(searches, c.searches);
    }
}

}  // namespace
}  // namespace vr::win32
