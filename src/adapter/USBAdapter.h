#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "adapter/HidPlatform.h"
#include "shared/AdapterLink.h"
#include "shared/FileSystem.h"
#include "shared/Handles.h"
#include "shared/MainWindowLink.h"
#include "shared/ProgramState.h"

namespace vr {

inline constexpr std::uint32_t InputBufferCount = 512;
inline constexpr std::uint32_t ReportLength = 9;
// What the capture file keeps of each report: all but its first byte, the report id.
inline constexpr std::uint32_t StoredReportLength = ReportLength - 1;
inline constexpr std::uint32_t ReportWaitTimeout = 1000;  // milliseconds
inline constexpr int ReportsPerYield = 100;
// Reads in a row that complete without data before the reception takes the stream as stopped.
inline constexpr int EmptyCompletionLimit = 10;

// What the adapter link works with; all of it outlives the adapter object.
struct AdapterContext {
    HidPlatform& hid;
    PriorityPlatform& priority;
    FileSystem& files;
    MainWindowLink& window;
    ProgramState& state;
};

// The link to the infrared USB adapter for one poll: finds and opens it, receives one transfer
// into the capture file, and closes it again. Destruction closes whatever is still held.
class USBAdapter final : public AdapterLink {
public:
    explicit USBAdapter(const AdapterContext& context);
    ~USBAdapter() override;
    USBAdapter(const USBAdapter&) = delete;
    USBAdapter& operator=(const USBAdapter&) = delete;

    bool InitDevice() override;
    // Receives one transfer; the outcome shows in UnsavedData, the capture file and the window,
    // so the result is always false. A capture file that cannot be opened or written ends the
    // reception and throws FileError once the outstanding read has been cancelled. A transfer
    // cut short (adapter removed, failed wait, capture file failure) keeps what it stored
    // savable: UnsavedData stays set, the window comes up, and a HandlerError tells the user.
    bool ReadDevice() override;
    void CancelReading() override;
    void CloseDevice() override;

    // How long a reception waits for the first report of a transfer before it ends quietly:
    // ReportWaitTimeout, as a poll of the main window waits, unless the caller keeps the adapter
    // open between receptions and sleeps on it longer (verada-rede-cli watch).
    void SetFirstReportWait(std::uint32_t milliseconds) { firstReportWait_ = milliseconds; }

    bool CancelRequested() const { return CancelRequested_; }
    Handle DeviceHandle() const { return DeviceHandle_; }
    Handle ReadHandle() const { return ReadHandle_; }
    Handle EventHandle() const { return EventHandle_; }
    const std::string& DevicePath() const { return DevicePath_; }
    const Overlapped& ReadOverlapped() const { return ReadOverlapped_; }

    // Lets a diagnostic tool see the labels of the trace points; it must not touch the adapter.
    using TraceObserver = std::function<void(std::string_view label)>;
    void SetTraceObserver(TraceObserver observer) { traceObserver_ = std::move(observer); }

private:
    enum class ReceptionEnd { Quiet, DeviceLost, FailedWait, ExitPending };
    struct Reception;

    bool LocateAdapter();
    bool ExamineInterface(Handle set, const Guid& hidGuid, std::uint32_t memberIndex,
                          bool& endOfList);
    bool ReadInterfacePath(Handle set, SpDeviceInterfaceData& interfaceData);
    bool OpenReadHandle();
    bool CreateReadEvent();

    bool ReceiveDownload();
    ReceptionEnd ReceiveReports(Reception& reception);
    // Waits up to `timeout` milliseconds for the read event, yielding to the window between its
    // event slices; WAIT_OBJECT_0, WAIT_TIMEOUT, or the failed wait's result.
    std::uint32_t WaitForReport(std::uint32_t timeout);
    bool ReportArrived();
    void StartTransfer(Reception& reception);
    void StoreReport(Reception& reception);
    void OpenCaptureFile(Reception& reception);
    void EndQuietly(Reception& reception);
    void EndDeviceLost();
    void LowerPriority(Reception& reception);
    void CloseCaptureFile(Reception& reception);
    void AbandonReception(Reception& reception);
    void KeepWholeReports(Reception& reception);
    bool KeepReceivedData();
    bool CaptureHoldsData();
    void StopReading();

    void CaptureLastError() { lastError_ = ctx_.hid.GetLastError(); }
    void TraceApiCall(std::string_view label) const;

    AdapterContext ctx_;
    TraceObserver traceObserver_;
    std::uint32_t lastError_ = 0;
    std::uint32_t firstReportWait_ = ReportWaitTimeout;

    bool CancelRequested_ = false;
    Handle DeviceHandle_ = kNoHandle;
    Handle ReadHandle_ = kNoHandle;
    Handle EventHandle_ = kNoHandle;
    std::string DevicePath_;
    Overlapped ReadOverlapped_;
    SecurityAttributes SecurityAttributes_;
};

}  // namespace vr
