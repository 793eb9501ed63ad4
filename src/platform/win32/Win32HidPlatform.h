#pragma once

// The HID seam on Windows: each operation is the real call of hid.dll, setupapi.dll or kernel32,
// with the seam's 32-bit handles mapped to the kernel's through a table and the records converted
// to the layouts of the target's ABI.

// The seam before the system headers, whose macros share its constants' names.
#include "adapter/HidPlatform.h"

#include <windows.h>
// windows.h first
#include <setupapi.h>

#include <map>
#include <vector>

#include "platform/win32/KernelHandleTable.h"

namespace vr::win32 {

class Win32HidPlatform final : public HidPlatform {
public:
    Win32HidPlatform() = default;
    // Closes what the program left open, outstanding reads first.
    ~Win32HidPlatform() override;
    Win32HidPlatform(const Win32HidPlatform&) = delete;
    Win32HidPlatform& operator=(const Win32HidPlatform&) = delete;

    void HidD_GetHidGuid(Guid& guid) override;
    bool HidD_GetAttributes(Handle device, HiddAttributes& attributes) override;
    bool HidD_SetNumInputBuffers(Handle device, std::uint32_t count) override;
    bool HidD_GetPreparsedData(Handle device, PreparsedData& data) override;
    bool HidD_FreePreparsedData(PreparsedData data) override;

    Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator, WindowHandle parent,
                                std::uint32_t flags) override;
    bool SetupDiEnumDeviceInterfaces(Handle set, const void* deviceInfo, const Guid& classGuid,
                                     std::uint32_t memberIndex,
                                     SpDeviceInterfaceData& data) override;
    bool SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                          std::uint8_t* detail, std::uint32_t detailSize,
                                          std::uint32_t* requiredSize,
                                          const void* deviceInfo) override;
    bool SetupDiDestroyDeviceInfoList(Handle set) override;

    Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                       const SecurityAttributes* security, std::uint32_t creation,
                       std::uint32_t flags, Handle templateFile) override;
    bool CloseHandle(Handle handle) override;
    Handle CreateEventA(const SecurityAttributes* security, bool manualReset, bool initialState,
                        const char* name) override;
    bool ResetEvent(Handle event) override;
    bool SetEvent(Handle event) override;
    bool ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t* bytesRead, Overlapped& overlapped) override;
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override;
    bool CancelIo(Handle device) override;
    bool GetOverlappedResult(Handle device, Overlapped& overlapped, std::uint32_t* bytesTransferred,
                             bool wait) override;
    std::uint32_t GetLastError() override;

    // Kernel objects the seam holds open (for tests of the bookkeeping).
    std::size_t OpenHandleCount() const { return handles_.Size(); }

private:
    // The interface records an enumeration returned, so the detail call can hand the real one
    // back to setupapi; the seam's record carries only a token for it.
    struct InterfaceList {
        std::vector<SP_DEVICE_INTERFACE_DATA> records;
    };

    HANDLE KernelHandle(Handle handle, KernelKind kind) const;
    // Ends an outstanding read and waits until the system has let go of its buffer.
    static void FinishRead(HANDLE file, PendingRead& read);

    KernelHandleTable handles_;
    std::map<Handle, InterfaceList> interfaces_;
    std::map<PreparsedData, void*> preparsed_;  // PHIDP_PREPARSED_DATA
    PreparsedData nextPreparsed_ = 0;
};

}  // namespace vr::win32
