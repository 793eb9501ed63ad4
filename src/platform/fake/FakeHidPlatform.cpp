#include "platform/fake/FakeHidPlatform.h"

#include <algorithm>

#include "adapter/USBAdapter.h"
#include "platform/hidcommon/EmulatedHidPlatform.h"
#include "platform/hidcommon/Win32Errors.h"

namespace vr {

FakeStep FakeStep::Report(std::uint8_t reportId, const std::array<std::uint8_t, 8>& payload) {
    FakeStep step{Kind::Report, {}, 0};
    step.report[0] = reportId;
    std::copy(payload.begin(), payload.end(), step.report.begin() + 1);
    return step;
}

// --- the emulation: the world's interfaces, and reads that end as the script says ---

namespace {

// One open handle on an interface; a handle opened for reading has an input queue of its own.
struct FakeFile : DeviceFile {
    using DeviceFile::DeviceFile;
    std::size_t index = 0;  // into the world's interfaces
    ReportQueue queue;
    const Event* readEvent = nullptr;  // the event of the read last started
};

FakeFile& Fake(DeviceFile& file) {
    return static_cast<FakeFile&>(file);  // every file the emulation opens is one of these
}

// The completion status of a read that ends with `error`, as GetOverlappedResult reports it.
std::uint32_t CompletionStatus(std::uint32_t error) {
    switch (error) {
        case ERROR_OPERATION_ABORTED:
            return STATUS_CANCELLED;
        case ERROR_DEVICE_NOT_CONNECTED:
            return STATUS_DEVICE_NOT_CONNECTED;
        default:
            return STATUS_UNSUCCESSFUL;
    }
}

}  // namespace

class FakeHidPlatform::Emulation final : public EmulatedHidPlatform {
public:
    explicit Emulation(FakeHidPlatform& world)
        : EmulatedHidPlatform(LastErrorScope::Platform), world_(world) {}

    // What a knob makes a call leave for GetLastError.
    void Leave(std::uint32_t error) { Fail(error); }
    std::size_t Held() const { return HeldCount(); }
    bool ReadPending() const {
        return std::any_of(readFiles_.begin(), readFiles_.end(), [](const auto& weak) {
            const auto file = weak.lock();
            return file && file->queue.ReadPending();
        });
    }

private:
    std::vector<std::string> InterfacePaths() override {
        std::vector<std::string> paths;
        for (const FakeHidInterface& hid : world_.interfaces) {
            paths.push_back(hid.path);
        }
        return paths;
    }

    std::shared_ptr<DeviceFile> OpenDevice(const std::string& path, std::uint32_t /*access*/,
                                           bool overlapped, std::uint32_t& error) override {
        const auto& all = world_.interfaces;
        const auto hid = std::find_if(all.begin(), all.end(), [&path](const auto& candidate) {
            return candidate.path == path;
        });
        if (hid == all.end()) {
            error = ERROR_FILE_NOT_FOUND;
        } else if (!hid->openable) {
            error = ERROR_ACCESS_DENIED;
        } else if (overlapped && hid->overlappedOpenFails) {
            error = ERROR_SHARING_VIOLATION;
        } else {
            auto file = std::make_shared<FakeFile>(overlapped);
            file->index = static_cast<std::size_t>(hid - all.begin());
            if (overlapped) {
                std::erase_if(readFiles_, [](const auto& weak) { return weak.expired(); });
                readFiles_.push_back(file);
            }
            return file;
        }
        return nullptr;
    }

    std::uint32_t Identify(DeviceFile& file, HiddAttributes& identity) override {
        const FakeHidInterface& hid = world_.interfaces.at(Fake(file).index);
        if (!hid.attributesReadable) {
            return ERROR_GEN_FAILURE;
        }
        identity.VendorID = hid.vendor;
        identity.ProductID = hid.product;
        identity.VersionNumber = hid.version;
        return ERROR_SUCCESS;
    }

    std::optional<std::vector<std::uint8_t>> Descriptor(DeviceFile& /*file*/) override {
        return world_.deviceAnswers ? std::optional(std::vector<std::uint8_t>{}) : std::nullopt;
    }

    void SetInputBuffers(DeviceFile& file, std::uint32_t count) override {
        world_.lastBufferCount = count;
        Fake(file).queue.SetCapacity(count);
    }

    ReportQueue::ReadStart StartRead(DeviceFile& file, std::uint8_t* buffer, std::uint32_t length,
                                     Overlapped& overlapped, std::shared_ptr<Event> event,
                                     std::uint32_t& bytesRead) override {
        FakeFile& fake = Fake(file);
        if (fake.queue.ReadPending()) {
            ++world_.overlappingReads;
            return ReportQueue::ReadStart::Busy;
        }
        event->Reset();  // whether or not the read can start
        fake.readEvent = event.get();
        const bool removed =
            !world_.script.empty() && world_.script.front().kind == FakeStep::Kind::Removal;
        return fake.queue.StartRead(buffer, length, overlapped, std::move(event), removed,
                                    bytesRead);
    }

    void CancelRead(DeviceFile& file) override {
        Fake(file).queue.EndPendingRead(STATUS_CANCELLED);
    }

    std::optional<ReadOutcome> Outcome(DeviceFile& /*file*/, Overlapped& overlapped,
                                       bool /*wait*/) override {
        return ReadOutcome{overlapped.Internal, overlapped.InternalHigh};
    }

    // A wait for the event of an outstanding read takes the script's next step; any other wait
    // only looks at the event.
    std::uint32_t WaitForEvent(Event& event, std::uint32_t milliseconds) override {
        FakeFile* reader = ReaderOf(event);
        if (reader != nullptr && !TakeStep(reader->queue, milliseconds)) {
            Fail(ERROR_GEN_FAILURE);
            return WAIT_FAILED;
        }
        Succeed();
        return event.Wait(0);
    }

    FakeFile* ReaderOf(const Event& event) const {
        for (const auto& weak : readFiles_) {
            const auto file = weak.lock();
            if (file && file->queue.ReadPending() && file->readEvent == &event) {
                return file.get();  // the handle table holds the file meanwhile
            }
        }
        return nullptr;
    }

    // Applies the next step to the outstanding read; false for a wait that fails. A silence lasts
    // as long as a reception waits for a report: waits of part of that share one silence.
    bool TakeStep(ReportQueue& queue, std::uint32_t milliseconds) {
        std::deque<FakeStep>& steps = world_.script;
        const FakeStep step = steps.empty() ? FakeStep::Silence() : steps.front();
        if (step.kind == FakeStep::Kind::Silence) {
            silentFor_ += milliseconds;
            if (silentFor_ < ReportWaitTimeout) {
                return true;
            }
        }
        silentFor_ = 0;
        if (step.kind == FakeStep::Kind::Removal) {
            queue.EndPendingRead(STATUS_DEVICE_NOT_CONNECTED);  // and it stays removed
            return true;
        }
        if (!steps.empty()) {
            steps.pop_front();
        }
        switch (step.kind) {
            case FakeStep::Kind::Report:
                queue.Deliver(std::vector<std::uint8_t>(step.report.begin(), step.report.end()));
                return true;
            case FakeStep::Kind::EmptyCompletion:
                if (step.error == ERROR_SUCCESS) {
                    queue.Deliver(std::nullopt);
                } else {
                    queue.EndPendingRead(CompletionStatus(step.error));
                }
                return true;
            case FakeStep::Kind::FailedWait:
                return false;
            default:
                return true;  // silence: the read stays outstanding
        }
    }

    FakeHidPlatform& world_;
    std::vector<std::weak_ptr<FakeFile>> readFiles_;
    std::uint32_t silentFor_ = 0;  // milliseconds waited into the current silence
};

FakeHidPlatform::FakeHidPlatform() : hid_(std::make_unique<Emulation>(*this)) {}

FakeHidPlatform::~FakeHidPlatform() = default;

FakeHidInterface& FakeHidPlatform::AddInterface(std::string path, std::uint16_t vendor,
                                                std::uint16_t product) {
    FakeHidInterface& hid = interfaces.emplace_back();
    hid.path = std::move(path);
    hid.vendor = vendor;
    hid.product = product;
    return hid;
}

// --- observation ---

void FakeHidPlatform::RecordTrace(std::string_view label) {
    calls.push_back("> " + std::string(label));
    if (traceClobbersLastError) {
        hid_->Leave(ERROR_SUCCESS);
    }
}

std::vector<std::string> FakeHidPlatform::Traces() const {
    std::vector<std::string> labels;
    for (const std::string& call : calls) {
        if (call.starts_with("> ")) {
            labels.push_back(call.substr(2));
        }
    }
    return labels;
}

int FakeHidPlatform::Count(std::string_view name) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [name](const auto& call) {
        return call == name ||
               (call.starts_with(name) && call.size() > name.size() && call[name.size()] == ' ');
    }));
}

int FakeHidPlatform::OpenCount(const std::string& path) const {
    return Count("CreateFileA " + path) + Count("CreateFileA(overlapped) " + path);
}

int FakeHidPlatform::OpenHandleCount() const {
    return static_cast<int>(hid_->Held() + processes_.size());
}

bool FakeHidPlatform::ReadPending() const {
    return hid_->ReadPending();
}

// --- HidPlatform ---

void FakeHidPlatform::HidD_GetHidGuid(Guid& guid) {
    calls.emplace_back("HidD_GetHidGuid");
    hid_->HidD_GetHidGuid(guid);
}

bool FakeHidPlatform::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
    calls.emplace_back("HidD_GetAttributes");
    return hid_->HidD_GetAttributes(device, attributes);
}

bool FakeHidPlatform::HidD_SetNumInputBuffers(Handle device, std::uint32_t count) {
    calls.push_back("HidD_SetNumInputBuffers " + std::to_string(count));
    return hid_->HidD_SetNumInputBuffers(device, count);
}

bool FakeHidPlatform::HidD_GetPreparsedData(Handle device, PreparsedData& data) {
    calls.emplace_back("HidD_GetPreparsedData");
    return hid_->HidD_GetPreparsedData(device, data);
}

bool FakeHidPlatform::HidD_FreePreparsedData(PreparsedData data) {
    calls.emplace_back("HidD_FreePreparsedData");
    return hid_->HidD_FreePreparsedData(data);
}

Handle FakeHidPlatform::SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator,
                                             WindowHandle parent, std::uint32_t flags) {
    calls.emplace_back("SetupDiGetClassDevsA");
    if (classDevsFail) {
        hid_->Leave(ERROR_NOT_ENOUGH_MEMORY);
        return kInvalidHandle;
    }
    return hid_->SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
}

bool FakeHidPlatform::SetupDiEnumDeviceInterfaces(Handle set, const void* deviceInfo,
                                                  const Guid& classGuid, std::uint32_t memberIndex,
                                                  SpDeviceInterfaceData& data) {
    calls.push_back("SetupDiEnumDeviceInterfaces " + std::to_string(memberIndex));
    return hid_->SetupDiEnumDeviceInterfaces(set, deviceInfo, classGuid, memberIndex, data);
}

bool FakeHidPlatform::SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                                       std::uint8_t* detail,
                                                       std::uint32_t detailSize,
                                                       std::uint32_t* requiredSize,
                                                       const void* deviceInfo) {
    calls.emplace_back(detail == nullptr ? "SetupDiGetDeviceInterfaceDetailA(size)"
                                         : "SetupDiGetDeviceInterfaceDetailA");
    const bool written = hid_->SetupDiGetDeviceInterfaceDetailA(set, data, detail, detailSize,
                                                                requiredSize, deviceInfo);
    // A set-up service that misreports the size the record needs. The emulation numbers an
    // interface's record from 1, in the order of `interfaces`.
    if (requiredSize != nullptr && data.Reserved >= 1 && data.Reserved <= interfaces.size()) {
        *requiredSize = interfaces[data.Reserved - 1].reportedDetailSize.value_or(*requiredSize);
    }
    return written;
}

bool FakeHidPlatform::SetupDiDestroyDeviceInfoList(Handle set) {
    calls.emplace_back("SetupDiDestroyDeviceInfoList");
    return hid_->SetupDiDestroyDeviceInfoList(set);
}

Handle FakeHidPlatform::CreateFileA(const std::string& path, std::uint32_t access,
                                    std::uint32_t share, const SecurityAttributes* security,
                                    std::uint32_t creation, std::uint32_t flags,
                                    Handle templateFile) {
    const bool overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    calls.push_back((overlapped ? "CreateFileA(overlapped) " : "CreateFileA ") + path);
    // Stricter than a device needs to be: any open but the two the adapter makes (read and write,
    // shared both ways, an existing file, no flag or only the overlapped one, a security record
    // of its true size) fails, so a slip in those arguments shows in the tests.
    if (access != (GENERIC_READ | GENERIC_WRITE) || share != (FILE_SHARE_READ | FILE_SHARE_WRITE) ||
        creation != OPEN_EXISTING || (flags != 0 && flags != FILE_FLAG_OVERLAPPED) ||
        security == nullptr || security->nLength != kSecurityAttributesSize) {
        hid_->Leave(ERROR_INVALID_PARAMETER);
        return kInvalidHandle;
    }
    return hid_->CreateFileA(path, access, share, security, creation, flags, templateFile);
}

bool FakeHidPlatform::CloseHandle(Handle handle) {
    calls.emplace_back("CloseHandle");
    if (processes_.erase(handle) == 1) {
        hid_->Leave(ERROR_SUCCESS);
        return true;
    }
    return hid_->CloseHandle(handle);
}

Handle FakeHidPlatform::CreateEventA(const SecurityAttributes* security, bool manualReset,
                                     bool initialState, const char* name) {
    calls.emplace_back("CreateEventA");
    lastEventName = name == nullptr ? "<null>" : name;
    const Handle event = hid_->CreateEventA(security, manualReset, initialState, name);
    if (createEventError != ERROR_SUCCESS) {
        hid_->Leave(createEventError);
    }
    return event;
}

bool FakeHidPlatform::ResetEvent(Handle event) {
    calls.emplace_back("ResetEvent");
    return hid_->ResetEvent(event);
}

bool FakeHidPlatform::SetEvent(Handle event) {
    calls.emplace_back("SetEvent");
    return hid_->SetEvent(event);
}

bool FakeHidPlatform::ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                               std::uint32_t* bytesRead, Overlapped& overlapped) {
    calls.emplace_back("ReadFile");
    return hid_->ReadFile(device, buffer, length, bytesRead, overlapped);
}

std::uint32_t FakeHidPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
    calls.emplace_back("WaitForSingleObject");
    return hid_->WaitForSingleObject(handle, milliseconds);
}

bool FakeHidPlatform::CancelIo(Handle device) {
    calls.emplace_back("CancelIo");
    return hid_->CancelIo(device);
}

bool FakeHidPlatform::GetOverlappedResult(Handle device, Overlapped& overlapped,
                                          std::uint32_t* bytesTransferred, bool wait) {
    calls.emplace_back("GetOverlappedResult");
    return hid_->GetOverlappedResult(device, overlapped, bytesTransferred, wait);
}

std::uint32_t FakeHidPlatform::GetLastError() {
    return hid_->GetLastError();
}

// --- process priority ---

std::uint32_t FakeHidPlatform::GetWindowThreadProcessId(WindowHandle /*window*/,
                                                        std::uint32_t* processId) {
    calls.emplace_back("GetWindowThreadProcessId");
    *processId = kOwnProcessId;
    hid_->Leave(ERROR_SUCCESS);
    return 1;
}

Handle FakeHidPlatform::OpenProcess(std::uint32_t access, bool inheritHandle,
                                    std::uint32_t processId) {
    calls.emplace_back("OpenProcess");
    if (access != PROCESS_ALL_ACCESS || inheritHandle || processId != kOwnProcessId) {
        hid_->Leave(ERROR_ACCESS_DENIED);
        return kNoHandle;
    }
    const Handle process = nextProcess_;
    nextProcess_ += 2;
    processes_.insert(process);
    hid_->Leave(ERROR_SUCCESS);
    return process;
}

bool FakeHidPlatform::SetPriorityClass(Handle process, std::uint32_t newClass) {
    calls.push_back("SetPriorityClass " + std::to_string(newClass));
    if (!processes_.contains(process)) {
        hid_->Leave(ERROR_INVALID_HANDLE);
        return false;
    }
    priorityClass = newClass;
    priorityChanges.push_back(newClass);
    hid_->Leave(ERROR_SUCCESS);
    return true;
}

}  // namespace vr
