#pragma once

#include <string>

#include "adapter/HidPlatform.h"

namespace vr {

// A HID seam that passes every call on to another one; a wrapper overrides only what it watches
// or changes.
class ForwardingHidPlatform : public HidPlatform {
public:
    explicit ForwardingHidPlatform(HidPlatform& inner) : inner_(inner) {}

    void HidD_GetHidGuid(Guid& guid) override { inner_.HidD_GetHidGuid(guid); }
    bool HidD_GetAttributes(Handle device, HiddAttributes& attributes) override {
        return inner_.HidD_GetAttributes(device, attributes);
    }
    bool HidD_SetNumInputBuffers(Handle device, std::uint32_t count) override {
        return inner_.HidD_SetNumInputBuffers(device, count);
    }
    bool HidD_GetPreparsedData(Handle device, PreparsedData& data) override {
        return inner_.HidD_GetPreparsedData(device, data);
    }
    bool HidD_FreePreparsedData(PreparsedData data) override {
        return inner_.HidD_FreePreparsedData(data);
    }
    Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator, WindowHandle parent,
                                std::uint32_t flags) override {
        return inner_.SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
    }
    bool SetupDiEnumDeviceInterfaces(Handle set, const void* deviceInfo, const Guid& classGuid,
                                     std::uint32_t memberIndex,
                                     SpDeviceInterfaceData& data) override {
        return inner_.SetupDiEnumDeviceInterfaces(set, deviceInfo, classGuid, memberIndex, data);
    }
    bool SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                          std::uint8_t* detail, std::uint32_t detailSize,
                                          std::uint32_t* requiredSize,
                                          const void* deviceInfo) override {
        return inner_.SetupDiGetDeviceInterfaceDetailA(set, data, detail, detailSize, requiredSize,
                                                       deviceInfo);
    }
    bool SetupDiDestroyDeviceInfoList(Handle set) override {
        return inner_.SetupDiDestroyDeviceInfoList(set);
    }
    Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                       const SecurityAttributes* security, std::uint32_t creation,
                       std::uint32_t flags, Handle templateFile) override {
        return inner_.CreateFileA(path, access, share, security, creation, flags, templateFile);
    }
    bool CloseHandle(Handle handle) override { return inner_.CloseHandle(handle); }
    Handle CreateEventA(const SecurityAttributes* security, bool manualReset, bool initialState,
                        const char* name) override {
        return inner_.CreateEventA(security, manualReset, initialState, name);
    }
    bool ResetEvent(Handle event) override { return inner_.ResetEvent(event); }
    bool SetEvent(Handle event) override { return inner_.SetEvent(event); }
    bool ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t* bytesRead, Overlapped& overlapped) override {
        return inner_.ReadFile(device, buffer, length, bytesRead, overlapped);
    }
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override {
        return inner_.WaitForSingleObject(handle, milliseconds);
    }
    bool CancelIo(Handle device) override { return inner_.CancelIo(device); }
    bool GetOverlappedResult(Handle device, Overlapped& overlapped, std::uint32_t* bytesTransferred,
                             bool wait) override {
        return inner_.GetOverlappedResult(device, overlapped, bytesTransferred, wait);
    }
    std::uint32_t GetLastError() override { return inner_.GetLastError(); }

protected:
    HidPlatform& inner() { return inner_; }

private:
    HidPlatform& inner_;
};

}  // namespace vr
