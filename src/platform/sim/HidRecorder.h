#pragma once

// Records what the adapter sends as a scenario: a hid-recorder text recording with the
// simulator's directives, which the simulated adapter plays back. It sits in front of any HID
// seam (hidraw, Windows, the simulator itself) and watches the calls the reception makes: the
// handle opened for overlapped reading is the adapter's, every report its reads complete with
// becomes an E: line, and a read that completes without data, a wait that fails and the adapter
// going become directives.
//
// Times are kept so that a replay reaches the reception as the original did: each gap between
// two events is the time that passed, but never more than the reception waited for the second
// one (a wait that overran by a few milliseconds would otherwise, in the simulator's exact time,
// end the transfer before the report came). The silence before the first event after a plug is
// shortened to at most kLongestLead: it says nothing about the transfer, and a replay that opens
// the adapter at once still finds the reports within its first wait.
//
// A recording starts with the plug at time 0: the opening of the adapter in which its first event
// came, or Begin, for an adapter open then. One recording at a time, each begun and ended by the
// caller: a command that receives several transfers starts a new one per transfer, while the
// adapter stays open. Every call the reception makes must pass through the recorder from the
// start, recording or not: it learns which handle is the adapter's when the handle is opened.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adapter/ForwardingHidPlatform.h"
#include "platform/sim/Clock.h"
#include "shared/AdapterLink.h"
#include "shared/FileSystem.h"

namespace vr::sim {

// What the system tells about a device beyond the seam; the descriptor is empty where it does
// not tell it (Windows).
struct DeviceDescription {
    std::string name;
    std::uint32_t bus = 0;
    std::vector<std::uint8_t> descriptor;
};
// The description of the device at `path`, asked once the adapter is open; nothing when the
// system does not tell it.
using DescribeDevice = std::function<std::optional<DeviceDescription>(const std::string& path)>;

struct RecordingOutcome {
    std::string path;  // as given to Begin
    std::uint64_t reports = 0;
    std::string problem;  // why the file was not written; empty once it is in place
};

class HidRecorder final : public ForwardingHidPlatform {
public:
    static constexpr Microseconds kLongestLead = std::chrono::milliseconds(500);

    HidRecorder(HidPlatform& inner, Clock& clock, FileSystem& files, DescribeDevice describe);
    // A recording not ended is dropped: its draft is removed.
    ~HidRecorder() override;
    HidRecorder(const HidRecorder&) = delete;
    HidRecorder& operator=(const HidRecorder&) = delete;

    // Begins a recording for `path`, written to a hidden draft beside it until End puts it in
    // place, so that the name holds only a whole recording. `comments` open the file as comment
    // lines. Throws FileError, with nothing begun, when the draft cannot be made (a missing or
    // read-only folder, a file there that may not be written). A recording still running is ended
    // first, its outcome untold: End it before.
    void Begin(const std::string& path, bool replaceExisting,
               const std::vector<std::string>& comments);
    bool Recording() const { return draft_ != nullptr || !problem_.empty(); }
    // Ends the recording: synced and put in place under its name (over an existing file only
    // with `replaceExisting`). A write that failed while the reception ran stopped the recording
    // (the reception itself goes on untouched) and is told here; so is an adapter that never
    // opened, which leaves nothing to record. The draft is removed unless the file is in place.
    RecordingOutcome End();
    // As End, but under the name `path` in place of Begin's (in the same folder: a command that
    // names its files after the transfer's end learns the name only then).
    RecordingOutcome EndAs(const std::string& path);
    // Drops the recording: nothing is written, the draft is removed.
    void Abandon();

    Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                       const SecurityAttributes* security, std::uint32_t creation,
                       std::uint32_t flags, Handle templateFile) override;
    bool HidD_GetAttributes(Handle device, HiddAttributes& attributes) override;
    bool HidD_GetPreparsedData(Handle device, PreparsedData& data) override;
    bool CloseHandle(Handle handle) override;
    bool ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t* bytesRead, Overlapped& overlapped) override;
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override;
    bool GetOverlappedResult(Handle device, Overlapped& overlapped, std::uint32_t* bytesTransferred,
                             bool wait) override;

private:
    void AdapterOpened(const std::string& path);
    void AdapterLost();
    void Report(const std::uint8_t* bytes, std::uint32_t size);
    void Directive(const char* what);
    Microseconds Stamp();
    void Start(const std::uint8_t* firstReport, std::uint32_t size);
    void Put(const std::string& text);
    void Fail(const std::string& problem);
    void Drop();
    // Runs a step of the recording: a failure of it ends the recording, never the reception.
    template <typename Step>
    void Guarded(Step&& step) {
        try {
            step();
        } catch (const std::exception& e) {
            Fail(e.what());
        }
    }

    Clock& clock_;
    FileSystem& files_;
    DescribeDevice describe_;

    // What the seam showed, recording or not.
    std::string probedPath_;  // the interface HidD_GetAttributes last answered for
    HiddAttributes probed_;
    Handle probeHandle_ = kNoHandle;
    Handle readHandle_ = kNoHandle;
    std::uint8_t* readBuffer_ = nullptr;
    std::uint32_t readLength_ = 0;
    bool present_ = false;
    std::optional<DeviceDescription> description_;
    std::uint16_t vendor_ = AdapterVendorId;  // as its probe answered
    std::uint16_t product_ = AdapterProductId;

    // The recording.
    std::string path_;
    std::string target_;
    std::string draftPath_;
    std::unique_ptr<OutputFile> draft_;
    bool replaceExisting_ = false;
    std::vector<std::string> comments_;
    std::string problem_;
    bool started_ = false;  // the header and the plug are written
    bool seen_ = false;     // the adapter opened since Begin
    bool leading_ = true;   // no event since the last plug
    bool numbered_ = false;
    std::uint64_t reports_ = 0;
    Microseconds lastTime_{0};   // the clock's time of the last event (or plug)
    Microseconds lastStamp_{0};  // its time in the recording
    Microseconds waited_{0};     // what the reception asked to wait for since
};

}  // namespace vr::sim
