#include "adapter/USBAdapter.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "adapter/Priority.h"
#include "shared/Errors.h"
#include "shared/StatusKeys.h"
#include "shared/SupportFunctions.h"

namespace vr {
namespace {

constexpr std::size_t kPayloadOffset = 1;  // byte 0 of a report is its id, never stored
constexpr std::size_t kPayloadLength = StoredReportLength;

constexpr const char* kInterruptedDataKept =
    "The data received until then has been kept: save it now, or minimise the window to discard "
    "it.";
constexpr const char* kStoreFailedDataKept =
    "The received data could not be stored and the transfer was stopped. The data stored until "
    "then has been kept: save it now (for example on another drive), or minimise the window to "
    "discard it.";
constexpr const char* kStoreFailedNothingKept =
    "The received data could not be stored and the transfer was stopped; nothing was kept. Make "
    "room or fix the folder, then send the log again.";

}  // namespace

// The state of one reception, gone when it ends.
struct USBAdapter::Reception {
    std::array<std::uint8_t, ReportLength> ReportBuffer{};
    std::int32_t reportCount = 0;
    std::unique_ptr<OutputFile> captureFile;
    bool priorityRaised = false;
    int emptyCompletions = 0;
    std::uint64_t captureStart = 0;  // the capture file's length when this reception opened it
};

USBAdapter::USBAdapter(const AdapterContext& context) : ctx_(context) {}

USBAdapter::~USBAdapter() {
    CloseDevice();
}

// --- discovery and opening ---

bool USBAdapter::InitDevice() {
    if (ReadHandle_ > 0 && EventHandle_ > 0) {
        // Already open: ask the device, through the handle that is open, whether it still answers.
        PreparsedData data = 0;
        const bool answered = ctx_.hid.HidD_GetPreparsedData(ReadHandle_, data);
        CaptureLastError();
        TraceApiCall("HidD_GetPreparsedData");
        ctx_.hid.HidD_FreePreparsedData(data);
        CaptureLastError();
        TraceApiCall("HidD_FreePreparsedData");
        if (!answered) {
            CancelReading();
            CloseDevice();
        }
        return answered;
    }
    bool result = LocateAdapter();
    if (ReadHandle_ <= 0 && result) {
        result = OpenReadHandle();
    }
    if (EventHandle_ <= 0 && result) {
        result = CreateReadEvent();
    }
    return result;
}

bool USBAdapter::LocateAdapter() {
    SecurityAttributes_ = SecurityAttributes{kSecurityAttributesSize, nullptr, -1};
    Guid hidGuid;
    ctx_.hid.HidD_GetHidGuid(hidGuid);
    CaptureLastError();
    TraceApiCall("GetHidGuid");
    const Handle set =
        ctx_.hid.SetupDiGetClassDevsA(hidGuid, nullptr, 0, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    CaptureLastError();
    TraceApiCall("SetupDiClassDevs");

    std::uint32_t memberIndex = 0;
    bool found = false;
    bool endOfList = false;
    do {
        found = ExamineInterface(set, hidGuid, memberIndex, endOfList);
        ++memberIndex;
    } while (!endOfList && !found);

    ctx_.hid.SetupDiDestroyDeviceInfoList(set);
    CaptureLastError();
    TraceApiCall("DestroyDeviceInfoList");
    if (!found) {
        // Nothing usable remains: release whatever an earlier open of this object left.
        DeviceHandle_ = kNoHandle;
        CloseDevice();
    }
    return found;
}

// Opens the interface at `memberIndex` and tells whether it is the adapter.
bool USBAdapter::ExamineInterface(Handle set, const Guid& hidGuid, std::uint32_t memberIndex,
                                  bool& endOfList) {
    SpDeviceInterfaceData interfaceData;
    interfaceData.cbSize = kSpDeviceInterfaceDataSize;
    const bool exists =
        ctx_.hid.SetupDiEnumDeviceInterfaces(set, nullptr, hidGuid, memberIndex, interfaceData);
    CaptureLastError();
    TraceApiCall("SetupDiEnumDeviceInterfaces");
    if (!exists) {
        endOfList = true;
        return false;
    }
    if (!ReadInterfacePath(set, interfaceData)) {
        return false;
    }

    DeviceHandle_ = ctx_.hid.CreateFileA(DevicePath_, GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, &SecurityAttributes_,
                                         OPEN_EXISTING, 0, kNoHandle);
    CaptureLastError();
    TraceApiCall("CreateFile");
    if (DeviceHandle_ == kInvalidHandle) {
        return false;  // held exclusively by someone else, or gone: try the next one
    }
    HiddAttributes attributes;
    attributes.Size = kHiddAttributesSize;
    const bool readable = ctx_.hid.HidD_GetAttributes(DeviceHandle_, attributes);
    CaptureLastError();
    TraceApiCall("HidD_GetAttributes");
    ctx_.hid.CloseHandle(DeviceHandle_);
    CaptureLastError();
    TraceApiCall("CloseHandle");
    DeviceHandle_ = kNoHandle;
    return readable && attributes.VendorID == AdapterVendorId &&
           attributes.ProductID == AdapterProductId;
}

// Sets DevicePath to the interface's path; false when the platform reports no usable record.
bool USBAdapter::ReadInterfacePath(Handle set, SpDeviceInterfaceData& interfaceData) {
    std::uint32_t requiredSize = 0;
    ctx_.hid.SetupDiGetDeviceInterfaceDetailA(set, interfaceData, nullptr, 0, &requiredSize,
                                              nullptr);
    CaptureLastError();
    TraceApiCall("SetupDiGetDeviceInterfaceDetail");
    if (requiredSize < kDevicePathOffset + 1) {
        return false;  // not even cbSize and an empty path would fit
    }

    // One byte more than asked for, so the path always ends in a NUL inside the buffer.
    std::vector<std::uint8_t> detail(std::size_t{requiredSize} + 1, 0);
    for (std::size_t i = 0; i < kDevicePathOffset; ++i) {
        detail[i] = static_cast<std::uint8_t>((kSpDeviceInterfaceDetailDataSize >> (8 * i)) & 0xFF);
    }
    ctx_.hid.SetupDiGetDeviceInterfaceDetailA(set, interfaceData, detail.data(), requiredSize,
                                              nullptr, nullptr);
    CaptureLastError();
    TraceApiCall(" Result of second call: ");

    const auto pathBegin = detail.begin() + static_cast<std::ptrdiff_t>(kDevicePathOffset);
    DevicePath_.assign(pathBegin, std::find(pathBegin, detail.end(), std::uint8_t{0}));
    return true;
}

bool USBAdapter::OpenReadHandle() {
    if (ReadHandle_ != kNoHandle) {
        ctx_.hid.CloseHandle(ReadHandle_);
        CaptureLastError();
        ReadHandle_ = kNoHandle;
    }
    ReadHandle_ = ctx_.hid.CreateFileA(DevicePath_, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, &SecurityAttributes_,
                                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED, kNoHandle);
    CaptureLastError();
    TraceApiCall("CreateFile, ReadHandle");
    ctx_.hid.HidD_SetNumInputBuffers(ReadHandle_, InputBufferCount);
    CaptureLastError();
    TraceApiCall("HidD_SetNumInputBuffers(lngBufferCount = " + std::to_string(InputBufferCount) +
                 ")");
    return ReadHandle_ != kInvalidHandle;
}

bool USBAdapter::CreateReadEvent() {
    if (EventHandle_ == kNoHandle) {
        EventHandle_ = ctx_.hid.CreateEventA(nullptr, true, true, "");
        CaptureLastError();
    }
    // Judged by the error code, not the handle: a handle may come back together with an error.
    const bool created = lastError_ == ERROR_SUCCESS;
    TraceApiCall("CreateEvent");
    ReadOverlapped_.Offset = 0;
    ReadOverlapped_.OffsetHigh = 0;
    ReadOverlapped_.hEvent = EventHandle_;
    return created;
}

void USBAdapter::CloseDevice() {
    if (EventHandle_ != kNoHandle) {
        ctx_.hid.ResetEvent(EventHandle_);
        CaptureLastError();
        TraceApiCall("ResetEvent (EventHandle)");
        ctx_.hid.CloseHandle(EventHandle_);
        CaptureLastError();
        TraceApiCall("CloseHandle (EventHandle)");
        EventHandle_ = kNoHandle;
    }
    if (ReadHandle_ != kNoHandle) {
        ctx_.hid.CloseHandle(ReadHandle_);
        CaptureLastError();
        TraceApiCall("CloseHandle (ReadHandle)");
        ReadHandle_ = kNoHandle;
    }
}

// Diagnostic seam: changes nothing, in particular not the captured last error.
void USBAdapter::TraceApiCall(std::string_view label) const {
    if (traceObserver_) {
        traceObserver_(label);
    }
}

// --- reception ---

bool USBAdapter::ReadDevice() {
    if (ReadHandle_ != kNoHandle && EventHandle_ != kNoHandle) {
        return ReceiveDownload();
    }
    return false;
}

void USBAdapter::CancelReading() {
    CancelRequested_ = true;
}

bool USBAdapter::ReceiveDownload() {
    Reception reception;
    CancelRequested_ = false;
    const char* interruption = nullptr;
    try {
        switch (ReceiveReports(reception)) {
            case ReceptionEnd::Quiet:
                EndQuietly(reception);
                break;
            case ReceptionEnd::DeviceLost:
                EndDeviceLost();
                interruption = "the adapter was removed";
                break;
            case ReceptionEnd::FailedWait:
                ctx_.state.UnsavedData = false;
                interruption = "waiting for the adapter failed";
                break;
            case ReceptionEnd::ExitPending:
                break;  // the exit path decides what becomes of the received data
        }
        ctx_.state.DroppingTransfer = false;
        LowerPriority(reception);
        CloseCaptureFile(reception);
    } catch (const FileError& error) {
        AbandonReception(reception);
        const bool kept = KeepReceivedData();
        ctx_.state.DroppingTransfer = !kept;
        throw FileError(error.path(), error.cause() + "\r\n\r\n" +
                                          (kept ? kStoreFailedDataKept : kStoreFailedNothingKept));
    } catch (...) {
        AbandonReception(reception);
        throw;
    }
    StopReading();
    if (interruption != nullptr && reception.reportCount > 0 && KeepReceivedData()) {
        throw HandlerError(std::string("The transfer from the docking station was interrupted: ") +
                           interruption + ".\r\n\r\n" + kInterruptedDataKept);
    }
    return false;
}

// After a transfer that did not end quietly: whatever reached the capture file stays savable, so
// the window comes up as after a completed transfer. True when data waits there.
bool USBAdapter::KeepReceivedData() {
    const bool waits = FileExists(ctx_.files, ctx_.state.CaptureFilePath) && CaptureHoldsData();
    ctx_.state.UnsavedData = waits;
    if (waits) {
        ctx_.window.RestoreWindow();
        ctx_.window.ShowWindow();
    }
    return waits;
}

bool USBAdapter::CaptureHoldsData() {
    try {
        return ctx_.files.OpenForReading(ctx_.state.CaptureFilePath)->Length() > 0;
    } catch (const FileError&) {
        return false;
    }
}

USBAdapter::ReceptionEnd USBAdapter::ReceiveReports(Reception& reception) {
    for (;;) {
        std::uint32_t bytesRead = 0;
        ctx_.hid.ReadFile(ReadHandle_, reception.ReportBuffer.data(), ReportLength, &bytesRead,
                          ReadOverlapped_);
        CaptureLastError();
        TraceApiCall("ReadFile");
        if (lastError_ == ERROR_DEVICE_NOT_CONNECTED) {
            return ReceptionEnd::DeviceLost;
        }
        const std::uint32_t waited =
            WaitForReport(reception.reportCount == 0 ? firstReportWait_ : ReportWaitTimeout);
        if (ctx_.window.ExitPending()) {
            return ReceptionEnd::ExitPending;
        }
        if (waited == WAIT_TIMEOUT) {
            return ReceptionEnd::Quiet;
        }
        if (waited != WAIT_OBJECT_0) {
            return ReceptionEnd::FailedWait;
        }
        if (!ReportArrived()) {
            if (lastError_ == ERROR_DEVICE_NOT_CONNECTED) {
                return ReceptionEnd::DeviceLost;
            }
            // A stream that yields nothing but empty reads has stopped sending.
            if (++reception.emptyCompletions >= EmptyCompletionLimit) {
                return ReceptionEnd::Quiet;
            }
            continue;
        }
        reception.emptyCompletions = 0;

        if (!ctx_.state.DroppingTransfer) {
            if (!ctx_.state.UnsavedData) {
                StartTransfer(reception);
            }
            StoreReport(reception);
        }
        ++reception.reportCount;
        if (reception.reportCount % ReportsPerYield == 0) {
            ctx_.window.DoEvents();
        }
        if (ctx_.window.ExitPending()) {
            return ReceptionEnd::ExitPending;
        }
    }
}

// An adapter that is plugged in but silent would otherwise hold the window thread for a whole
// second at every poll: clicks, the tray and the accessibility bus would wait that long.
std::uint32_t USBAdapter::WaitForReport(std::uint32_t timeout) {
    // An exit asked for before the read started would not end a wait made in one piece.
    if (ctx_.window.ExitPending()) {
        return WAIT_TIMEOUT;
    }
    const std::uint32_t eventSlice = ctx_.window.EventSlice();
    std::uint32_t waited = 0;
    for (;;) {
        const std::uint32_t slice = std::min(eventSlice, timeout - waited);
        const std::uint32_t result = ctx_.hid.WaitForSingleObject(EventHandle_, slice);
        CaptureLastError();
        waited += slice;
        if (result != WAIT_TIMEOUT || waited >= timeout) {
            return result;
        }
        ctx_.window.DoEvents();
        if (ctx_.window.ExitPending()) {
            return WAIT_TIMEOUT;
        }
    }
}

// True when the signalled read delivered a report; a read that ended without data is not one.
bool USBAdapter::ReportArrived() {
    std::uint32_t bytesTransferred = 0;
    const bool completed =
        ctx_.hid.GetOverlappedResult(ReadHandle_, ReadOverlapped_, &bytesTransferred, false);
    if (!completed) {
        CaptureLastError();
        return false;
    }
    lastError_ = ERROR_SUCCESS;
    return bytesTransferred > 0;
}

void USBAdapter::StartTransfer(Reception& reception) {
    SetHighPriority(ctx_.priority, ctx_.window.GetWindowHandle());
    reception.priorityRaised = true;
    ctx_.state.UnsavedData = true;
    if (!reception.captureFile) {
        OpenCaptureFile(reception);
    }
    if (ctx_.window.SetStatusIcon(keyReceiving)) {
        ctx_.window.DoEvents();
    }
}

void USBAdapter::StoreReport(Reception& reception) {
    if (!reception.captureFile) {
        // Only when a reception ran while earlier data was still unsaved: append all the same.
        OpenCaptureFile(reception);
    }
    reception.captureFile->Write(reception.ReportBuffer.data() + kPayloadOffset, kPayloadLength);
}

void USBAdapter::OpenCaptureFile(Reception& reception) {
    reception.captureFile = ctx_.files.OpenCaptureForAppend(ctx_.state.CaptureFilePath);
    ctx_.state.CaptureFileOpen = true;
    reception.captureFile->SeekToEnd();
    reception.captureStart = reception.captureFile->Length();
}

void USBAdapter::EndQuietly(Reception& reception) {
    if (ctx_.state.UnsavedData) {
        SetNormalPriority(ctx_.priority, ctx_.window.GetWindowHandle());
        reception.priorityRaised = false;
        // Closed before the window comes up, so a save started from it reads a complete file.
        CloseCaptureFile(reception);
        ctx_.window.RestoreWindow();
        ctx_.window.ShowWindow();
    }
    ctx_.window.DoEvents();
}

void USBAdapter::EndDeviceLost() {
    if (ctx_.window.SetStatusIcon(keyDisconnected)) {
        ctx_.window.DoEvents();
    }
    ctx_.state.UnsavedData = false;
}

// A tray program must never stay in the high class once the transfer that raised it is over.
void USBAdapter::LowerPriority(Reception& reception) {
    if (reception.priorityRaised) {
        SetNormalPriority(ctx_.priority, ctx_.window.GetWindowHandle());
        reception.priorityRaised = false;
    }
}

void USBAdapter::CloseCaptureFile(Reception& reception) {
    if (reception.captureFile) {
        std::unique_ptr<OutputFile> file = std::move(reception.captureFile);
        ctx_.state.CaptureFileOpen = false;
        // Each report already reached the system as it came; the transfer as a whole goes to the
        // disk before the window offers to save it.
        file->Sync();
        file->Close();
    }
}

// The way out after a failure: the outstanding read is cancelled before its buffer goes away.
void USBAdapter::AbandonReception(Reception& reception) {
    LowerPriority(reception);
    if (reception.captureFile) {
        try {
            KeepWholeReports(reception);
            reception.captureFile->Close();
        } catch (const FileError&) {  // NOLINT(bugprone-empty-catch)
            // The failure that ended the reception is the one reported.
        }
        reception.captureFile.reset();
        ctx_.state.CaptureFileOpen = false;
    }
    StopReading();
}

// A write that failed half-way (a full disk) must not leave part of a report behind: the next
// transfer would be appended out of step with the 8-byte records.
void USBAdapter::KeepWholeReports(Reception& reception) {
    OutputFile& file = *reception.captureFile;
    const std::uint64_t length = file.Length();
    if (length <= reception.captureStart) {
        return;
    }
    const std::uint64_t whole = reception.captureStart +
                                (length - reception.captureStart) / kPayloadLength * kPayloadLength;
    if (whole != length) {
        file.Truncate(whole);
    }
}

void USBAdapter::StopReading() {
    ctx_.hid.ResetEvent(EventHandle_);
    CaptureLastError();
    TraceApiCall("ResetEvent (EventHandle)");
    ctx_.hid.CancelIo(ReadHandle_);
    CaptureLastError();
    TraceApiCall("CancelIO");
}

}  // namespace vr
