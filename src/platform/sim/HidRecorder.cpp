#include "platform/sim/HidRecorder.h"

#include <algorithm>
#include <cstdio>

#include "adapter/USBAdapter.h"
#include "platform/hidcommon/ReportDescriptor.h"
#include "shared/CapturePaths.h"
#include "shared/Errors.h"

namespace vr::sim {
namespace {

constexpr std::uint32_t kUsbBus = 3;  // the adapter is a USB device
constexpr std::uint8_t kReportIdItem = 0x85;
constexpr std::size_t kReportIdAt = 7;      // after Usage Page, Usage and Collection
constexpr std::size_t kReportCountAt = 17;  // the data byte of Report Count (before the id goes in)

// A vendor collection of one input report of `count` bytes, numbered with `id` unless it is 0:
// what the reports read show of a device whose descriptor the system does not give.
std::vector<std::uint8_t> DescriptorOfReports(std::uint8_t id, std::uint8_t count) {
    std::vector<std::uint8_t> descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
                                            0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00,
                                            0x75, 0x08, 0x95, 0x00, 0x81, 0x02, 0xC0};
    descriptor[kReportCountAt] = count;
    if (id != 0) {
        descriptor.insert(descriptor.begin() + kReportIdAt, {kReportIdItem, id});
    }
    return descriptor;
}

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, " %02x", bytes[i]);
        text += byte;
    }
    return text;
}

// Text from outside (a file name, a device name) on one line: a line break in it would start a
// line of the recording.
std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

// As hid-recorder writes it: seconds and microseconds, six digits each.
std::string Time(Microseconds at) {
    char text[40];
    std::snprintf(text, sizeof text, "%06lld.%06lld",
                  static_cast<long long>(at.count() / 1'000'000),
                  static_cast<long long>(at.count() % 1'000'000));
    return text;
}

}  // namespace

HidRecorder::HidRecorder(HidPlatform& inner, Clock& clock, FileSystem& files,
                         DescribeDevice describe)
    : ForwardingHidPlatform(inner), clock_(clock), files_(files), describe_(std::move(describe)) {}

HidRecorder::~HidRecorder() {
    Drop();
}

// --- the recording ---

void HidRecorder::Begin(const std::string& path, bool replaceExisting,
                        const std::vector<std::string>& comments) {
    if (Recording()) {
        End();
    }
    const std::string target = files_.AbsolutePath(path);
    const std::string draftPath = ReplacementFor(target, UniqueSuffix());
    draft_ = files_.CreateReplacement(target, draftPath);
    path_ = path;
    target_ = target;
    draftPath_ = draftPath;
    replaceExisting_ = replaceExisting;
    comments_ = comments;
    problem_.clear();
    started_ = false;
    seen_ = present_;  // an adapter open now counts from here
    leading_ = true;
    reports_ = 0;
    lastTime_ = clock_.Now();
    lastStamp_ = Microseconds{0};
    waited_ = Microseconds{0};
}

RecordingOutcome HidRecorder::End() {
    RecordingOutcome outcome{path_, reports_, problem_};
    if (draft_ != nullptr) {
        try {
            if (!seen_) {
                outcome.problem = "the adapter was not found, so there was nothing to record";
            } else {
                if (!started_) {
                    Start(nullptr, 0);
                }
                draft_->Sync();
                draft_->Close();
                files_.CommitReplacement(draftPath_, target_, replaceExisting_);
                draft_.reset();  // in place: nothing left to remove
            }
        } catch (const std::exception& e) {
            outcome.problem = e.what();
        }
    }
    Drop();
    problem_.clear();
    return outcome;
}

RecordingOutcome HidRecorder::EndAs(const std::string& path) {
    if (draft_ != nullptr) {
        try {
            target_ = files_.AbsolutePath(path);
            path_ = path;
        } catch (const FileError& e) {
            Fail(e.what());
        }
    }
    return End();
}

void HidRecorder::Abandon() {
    Drop();
    problem_.clear();
}

void HidRecorder::Fail(const std::string& problem) {
    problem_ = problem.empty() ? "the recording could not be written" : problem;
    Drop();
}

// Closes and removes the draft, if any; never throws.
void HidRecorder::Drop() {
    if (draft_ == nullptr) {
        return;
    }
    try {
        draft_->Close();
    } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): removed all the same
    }
    draft_.reset();
    try {
        files_.DeleteFile(draftPath_);
    } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): nothing more can be done
    }
}

void HidRecorder::Put(const std::string& text) {
    draft_->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// The header and the plug at time 0, once the first event shows what the recording starts with.
// Without a descriptor from the system, the first report tells whether reports are numbered.
void HidRecorder::Start(const std::uint8_t* firstReport, std::uint32_t size) {
    DeviceDescription device = description_.value_or(DeviceDescription{});
    std::string text;
    for (const std::string& comment : comments_) {
        text += "# " + OneLine(comment) + "\n";
    }
    if (device.descriptor.empty()) {
        const std::uint8_t id = firstReport != nullptr && size > 0 ? firstReport[0] : 0;
        const std::uint32_t count = firstReport != nullptr && size > 1
                                        ? std::min<std::uint32_t>(size - 1, 0xFF)
                                        : StoredReportLength;
        device.descriptor = DescriptorOfReports(id, static_cast<std::uint8_t>(count));
        text +=
            "# The system does not give the report descriptor: this one describes the reports "
            "as they were read.\n";
    }
    numbered_ = UsesNumberedReports(device.descriptor);
    text += "R: " + std::to_string(device.descriptor.size()) +
            Hex(device.descriptor.data(), device.descriptor.size()) + "\n";
    if (!device.name.empty()) {
        text += "N: " + OneLine(device.name) + "\n";
    }
    char ids[48];
    std::snprintf(ids, sizeof ids, "I: %x %04x %04x\n", device.bus != 0 ? device.bus : kUsbBus,
                  vendor_, product_);
    text += ids;
    text += "D: 0\n#! " + Time(Microseconds{0}) + " plug\n";
    Put(text);
    started_ = true;
}

// The recording's time of an event happening now (see the header).
Microseconds HidRecorder::Stamp() {
    const Microseconds now = clock_.Now();
    const Microseconds allowance = leading_ ? std::min(waited_, kLongestLead) : waited_;
    lastStamp_ += std::clamp(now - lastTime_, Microseconds{0}, allowance);
    lastTime_ = now;
    waited_ = Microseconds{0};
    leading_ = false;
    return lastStamp_;
}

void HidRecorder::Report(const std::uint8_t* bytes, std::uint32_t size) {
    if (!started_) {
        Start(bytes, size);
    }
    // The seam gives reports as Windows does, the id first; a recording holds what hidraw reads,
    // with the id only where the descriptor numbers the reports.
    const std::uint32_t skip = numbered_ || size == 0 ? 0 : 1;
    if (size <= skip) {
        Directive("empty-read");
        return;
    }
    Put("E: " + Time(Stamp()) + " " + std::to_string(size - skip) + Hex(bytes + skip, size - skip) +
        "\n");
    ++reports_;
}

void HidRecorder::Directive(const char* what) {
    if (!started_) {
        Start(nullptr, 0);
    }
    Put("#! " + Time(Stamp()) + " " + what + "\n");
}

void HidRecorder::AdapterOpened(const std::string& path) {
    try {
        description_ = describe_ ? describe_(path) : std::nullopt;
    } catch (const std::exception&) {
        description_.reset();  // described by its reports then, as on Windows
    }
    if (probedPath_ == path) {
        vendor_ = probed_.VendorID;
        product_ = probed_.ProductID;
    }
    const bool returned = !present_;
    present_ = true;
    if (draft_ == nullptr) {
        return;
    }
    seen_ = true;
    if (!started_) {
        // Nothing recorded yet: the recording starts with this opening.
        lastTime_ = clock_.Now();
        waited_ = Microseconds{0};
    } else if (returned) {
        const Microseconds now = clock_.Now();
        lastStamp_ += std::clamp(now - lastTime_, Microseconds{0}, kLongestLead);
        lastTime_ = now;
        Put("#! " + Time(lastStamp_) + " plug\n");
    }
    leading_ = true;
}

void HidRecorder::AdapterLost() {
    if (present_) {
        present_ = false;
        if (draft_ != nullptr) {
            Directive("unplug");
        }
    }
}

// --- the seam: every call passed on, what it showed noted ---

Handle HidRecorder::CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                const SecurityAttributes* security, std::uint32_t creation,
                                std::uint32_t flags, Handle templateFile) {
    const Handle handle =
        inner().CreateFileA(path, access, share, security, creation, flags, templateFile);
    if (handle == kInvalidHandle || handle == kNoHandle) {
        return handle;
    }
    if ((flags & FILE_FLAG_OVERLAPPED) == 0) {  // the search's probe of an interface
        probeHandle_ = handle;
        probedPath_ = path;
        probed_ = HiddAttributes{};
        return handle;
    }
    // Only the adapter is opened for reading.
    readHandle_ = handle;
    readBuffer_ = nullptr;
    Guarded([&] { AdapterOpened(path); });
    return handle;
}

bool HidRecorder::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
    const bool answered = inner().HidD_GetAttributes(device, attributes);
    if (answered && device == probeHandle_) {
        probed_ = attributes;
    }
    return answered;
}

bool HidRecorder::HidD_GetPreparsedData(Handle device, PreparsedData& data) {
    const bool answered = inner().HidD_GetPreparsedData(device, data);
    if (!answered && device == readHandle_ &&
        inner().GetLastError() == ERROR_DEVICE_NOT_CONNECTED) {
        Guarded([&] { AdapterLost(); });
    }
    return answered;
}

bool HidRecorder::CloseHandle(Handle handle) {
    if (handle == readHandle_) {
        readHandle_ = kNoHandle;
        readBuffer_ = nullptr;
    } else if (handle == probeHandle_) {
        probeHandle_ = kNoHandle;
    }
    return inner().CloseHandle(handle);
}

bool HidRecorder::ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                           std::uint32_t* bytesRead, Overlapped& overlapped) {
    const bool completed = inner().ReadFile(device, buffer, length, bytesRead, overlapped);
    if (device == readHandle_) {
        // The report lands here; the reception learns of it from GetOverlappedResult.
        readBuffer_ = buffer;
        readLength_ = length;
        if (!completed && inner().GetLastError() == ERROR_DEVICE_NOT_CONNECTED) {
            Guarded([&] { AdapterLost(); });
        }
    }
    return completed;
}

std::uint32_t HidRecorder::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
    const std::uint32_t result = inner().WaitForSingleObject(handle, milliseconds);
    if (readHandle_ != kNoHandle) {
        waited_ += std::chrono::milliseconds(milliseconds);
        if (result != WAIT_OBJECT_0 && result != WAIT_TIMEOUT && draft_ != nullptr) {
            Guarded([&] { Directive("fail-wait"); });
        }
    }
    return result;
}

bool HidRecorder::GetOverlappedResult(Handle device, Overlapped& overlapped,
                                      std::uint32_t* bytesTransferred, bool wait) {
    const bool completed = inner().GetOverlappedResult(device, overlapped, bytesTransferred, wait);
    if (device != readHandle_ || readBuffer_ == nullptr) {
        return completed;
    }
    if (!completed) {
        if (inner().GetLastError() == ERROR_DEVICE_NOT_CONNECTED) {
            Guarded([&] { AdapterLost(); });
        }
        return completed;
    }
    const std::uint32_t size = bytesTransferred != nullptr ? *bytesTransferred : 0;
    if (draft_ != nullptr) {
        Guarded([&] {
            if (size == 0) {
                Directive("empty-read");
            } else {
                Report(readBuffer_, std::min(size, readLength_));
            }
        });
    }
    readBuffer_ = nullptr;  // read once: the next report needs the next read
    return completed;
}

}  // namespace vr::sim
