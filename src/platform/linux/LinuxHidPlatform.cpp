#include "platform/linux/LinuxHidPlatform.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/hidcommon/DeviceInterfaceSet.h"
#include "platform/hidcommon/ReportDescriptor.h"
#include "platform/hidcommon/Win32Errors.h"
#include "platform/linux/HidrawReader.h"

namespace vr {

// One open device node. A file opened for overlapped reading has a reader that drains it.
class HidrawFile {
public:
    HidrawFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
        const std::size_t slash = path_.rfind('/');
        node_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    }
    ~HidrawFile() {
        reader_.reset();  // stops and joins the reader before its descriptor goes
        ::close(fd_);
    }
    HidrawFile(const HidrawFile&) = delete;
    HidrawFile& operator=(const HidrawFile&) = delete;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    const std::string& node() const { return node_; }
    HidrawReader* reader() const { return reader_.get(); }
    void set_reader(std::unique_ptr<HidrawReader> reader) { reader_ = std::move(reader); }

private:
    int fd_;
    std::string path_;
    std::string node_;
    std::unique_ptr<HidrawReader> reader_;
};

namespace {

constexpr std::uint16_t kAdapterVendorId = 0x11D2;
constexpr std::uint16_t kAdapterProductId = 0x0001;
constexpr std::uint32_t kMinInputBuffers = 2;
constexpr std::uint32_t kMaxInputBuffers = 512;

thread_local std::uint32_t tLastError = ERROR_SUCCESS;

bool Succeed() {
    tLastError = ERROR_SUCCESS;
    return true;
}

bool Fail(std::uint32_t error) {
    tLastError = error;
    return false;
}

int OpenFlags(std::uint32_t access, bool overlapped) {
    int flags = O_CLOEXEC;
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if (overlapped) {
        flags |= O_NONBLOCK;  // the reader polls; a read must never block it
    }
    return flags;
}

std::optional<std::vector<std::uint8_t>> DescriptorFromDevice(int fd) {
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0) {
        return std::nullopt;
    }
    hidraw_report_descriptor descriptor{};
    descriptor.size = static_cast<std::uint32_t>(size);
    if (::ioctl(fd, HIDIOCGRDESC, &descriptor) < 0) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(descriptor.value, descriptor.value + descriptor.size);
}

}  // namespace

std::string PermissionDiagnosisText(const std::string& nodePath) {
    return "The infrared USB adapter is plugged in, but this user may not open " + nodePath +
           ", so Verada Rede cannot receive from it.\n\n"
           "To allow it, install the udev rule 70-verada-rede.rules that comes with Verada Rede "
           "in /etc/udev/rules.d/ (or create that file with this line):\n"
           "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"11d2\", ATTRS{idProduct}==\"0001\", "
           "TAG+=\"uaccess\"\n\n"
           "Then, as root, run:\n"
           "udevadm control --reload-rules && udevadm trigger\n\n"
           "and plug the adapter in again if it still shows as disconnected.";
}

LinuxHidPlatform::LinuxHidPlatform() : LinuxHidPlatform(kSysfsClassDir, kDeviceDir) {}

LinuxHidPlatform::LinuxHidPlatform(std::string sysfsClassDir, std::string deviceDir,
                                   NodeOpener opener)
    : sysfs_(std::move(sysfsClassDir)),
      deviceDir_(std::move(deviceDir)),
      opener_(std::move(opener)) {
    if (!opener_) {
        opener_ = [](const std::string& path, int flags) { return ::open(path.c_str(), flags); };
    }
}

LinuxHidPlatform::~LinuxHidPlatform() = default;

template <typename T>
std::shared_ptr<T> LinuxHidPlatform::Find(Handle handle) const {
    const std::optional<Object> object = handles_.Find(handle);
    if (!object || !std::holds_alternative<std::shared_ptr<T>>(*object)) {
        return nullptr;
    }
    return std::get<std::shared_ptr<T>>(*object);
}

// --- HID class driver ---

void LinuxHidPlatform::HidD_GetHidGuid(Guid& guid) {
    guid = kHidInterfaceGuid;
    tLastError = ERROR_SUCCESS;
}

bool LinuxHidPlatform::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
    const auto file = Find<HidrawFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::optional<HidId> id = sysfs_.Id(file->node());
    if (!id) {
        return Fail(ERROR_GEN_FAILURE);
    }
    attributes.Size = 12;
    attributes.VendorID = id->vendor;
    attributes.ProductID = id->product;
    attributes.VersionNumber = 0;  // hidraw does not tell the device's release number
    return Succeed();
}

bool LinuxHidPlatform::HidD_SetNumInputBuffers(Handle device, std::uint32_t count) {
    const auto file = Find<HidrawFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (count < kMinInputBuffers || count > kMaxInputBuffers) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (file->reader() != nullptr) {
        file->reader()->SetCapacity(count);
    }
    return Succeed();
}

bool LinuxHidPlatform::HidD_GetPreparsedData(Handle device, PreparsedData& data) {
    const auto file = Find<HidrawFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (file->reader() != nullptr && file->reader()->CurrentState().deviceGone) {
        return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    auto descriptor = sysfs_.ReportDescriptor(file->node());
    if (!descriptor) {
        descriptor = DescriptorFromDevice(file->fd());
    }
    if (!descriptor) {
        return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    std::lock_guard lock(preparsedMutex_);
    while (nextPreparsed_ <= 0 || preparsed_.contains(nextPreparsed_)) {
        nextPreparsed_ = nextPreparsed_ <= 0 ? 1 : nextPreparsed_ + 1;
    }
    data = nextPreparsed_++;
    preparsed_.emplace(data, std::make_shared<const std::vector<std::uint8_t>>(*descriptor));
    return Succeed();
}

bool LinuxHidPlatform::HidD_FreePreparsedData(PreparsedData data) {
    std::lock_guard lock(preparsedMutex_);
    return preparsed_.erase(data) == 1 ? Succeed() : Fail(ERROR_INVALID_PARAMETER);
}

// --- device set-up ---

Handle LinuxHidPlatform::SetupDiGetClassDevsA(const Guid& classGuid, const char* /*enumerator*/,
                                              WindowHandle /*parent*/, std::uint32_t flags) {
    auto set = std::make_shared<DeviceInterfaceSet>();
    // Only HID interfaces exist here: any other class, or a set of devices rather than of
    // interfaces, is empty. Every listed node is present, with or without DIGCF_PRESENT.
    if (ListsHidInterfaces(classGuid, flags)) {
        for (const std::string& node : sysfs_.NodeNames()) {
            set->paths.push_back(deviceDir_ + "/" + node);
        }
    }
    const Handle handle = handles_.Add(std::move(set));
    if (handle == kNoHandle) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return kInvalidHandle;
    }
    Succeed();
    return handle;
}

bool LinuxHidPlatform::SetupDiEnumDeviceInterfaces(Handle set, const void* /*deviceInfo*/,
                                                   const Guid& classGuid, std::uint32_t memberIndex,
                                                   SpDeviceInterfaceData& data) {
    const auto interfaces = Find<DeviceInterfaceSet>(set);
    if (!interfaces) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t error = EnumDeviceInterface(*interfaces, classGuid, memberIndex, data);
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

bool LinuxHidPlatform::SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                                        std::uint8_t* detail,
                                                        std::uint32_t detailSize,
                                                        std::uint32_t* requiredSize,
                                                        const void* /*deviceInfo*/) {
    const auto interfaces = Find<DeviceInterfaceSet>(set);
    if (!interfaces) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t error =
        GetDeviceInterfaceDetail(*interfaces, data, detail, detailSize, requiredSize);
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

bool LinuxHidPlatform::SetupDiDestroyDeviceInfoList(Handle set) {
    if (!Find<DeviceInterfaceSet>(set)) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    handles_.Remove(set);
    return Succeed();
}

// --- kernel ---

Handle LinuxHidPlatform::CreateFileA(const std::string& path, std::uint32_t access,
                                     std::uint32_t /*share*/,
                                     const SecurityAttributes* /*security*/, std::uint32_t creation,
                                     std::uint32_t flags, Handle /*templateFile*/) {
    // Device nodes can only be opened, never created. Descriptors are never inherited by
    // child processes (the program starts none), whatever the security attributes say.
    if (creation != OPEN_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return kInvalidHandle;
    }
    const bool overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    int fd = -1;
    do {
        fd = opener_(path, OpenFlags(access, overlapped));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        NoteOpenFailure(path, error);
        Fail(Win32ErrorFromErrno(error));
        return kInvalidHandle;
    }
    auto file = std::make_shared<HidrawFile>(fd, path);
    if (overlapped) {
        auto reader = HidrawReader::Start(fd, NumberedReports(*file));
        if (!reader) {
            Fail(Win32ErrorFromErrno(errno));
            return kInvalidHandle;  // `file` closes the descriptor
        }
        file->set_reader(std::move(reader));
    }
    const Handle handle = handles_.Add(std::move(file));
    if (handle == kNoHandle) {
        Fail(ERROR_TOO_MANY_OPEN_FILES);
        return kInvalidHandle;
    }
    NoteAdapterOpened(path);
    Succeed();
    return handle;
}

bool LinuxHidPlatform::CloseHandle(Handle handle) {
    // Closing a file cancels its outstanding read and stops its reader (when the last user of
    // the object lets go of it).
    return handles_.Remove(handle) ? Succeed() : Fail(ERROR_INVALID_HANDLE);
}

Handle LinuxHidPlatform::CreateEventA(const SecurityAttributes* /*security*/, bool manualReset,
                                      bool initialState, const char* /*name*/) {
    // Every event is a new, private one: the program names none it shares.
    const Handle handle = handles_.Add(std::make_shared<Event>(manualReset, initialState));
    if (handle == kNoHandle) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return kNoHandle;
    }
    Succeed();
    return handle;
}

bool LinuxHidPlatform::ResetEvent(Handle event) {
    const auto object = Find<Event>(event);
    if (!object) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    object->Reset();
    return Succeed();
}

bool LinuxHidPlatform::ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                                std::uint32_t* bytesRead, Overlapped& overlapped) {
    const auto file = Find<HidrawFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const auto event = Find<Event>(overlapped.hEvent);
    if (file->reader() == nullptr || !event || buffer == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    // Reset before the read is registered, so that a report that completes it at once is not
    // undone by the reset.
    event->Reset();
    std::uint32_t count = 0;
    switch (file->reader()->StartRead(buffer, length, overlapped, event, count)) {
        case HidrawReader::ReadStart::Completed:
            if (bytesRead != nullptr) {
                *bytesRead = count;
            }
            return Succeed();
        case HidrawReader::ReadStart::Pending:
            return Fail(ERROR_IO_PENDING);
        case HidrawReader::ReadStart::DeviceGone:
            return Fail(ERROR_DEVICE_NOT_CONNECTED);
        case HidrawReader::ReadStart::Busy:
            return Fail(ERROR_BUSY);
    }
    return Fail(ERROR_GEN_FAILURE);
}

std::uint32_t LinuxHidPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
    const auto event = Find<Event>(handle);
    if (!event) {
        Fail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const std::uint32_t result = event->Wait(milliseconds);
    Succeed();
    return result;
}

bool LinuxHidPlatform::CancelIo(Handle device) {
    const auto file = Find<HidrawFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (file->reader() != nullptr) {
        file->reader()->Cancel();
    }
    return Succeed();
}

bool LinuxHidPlatform::GetOverlappedResult(Handle device, Overlapped& overlapped,
                                           std::uint32_t* bytesTransferred, bool wait) {
    const auto file = Find<HidrawFile>(device);
    if (!file || file->reader() == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    auto [status, bytes] = file->reader()->Outcome(overlapped);
    if (status == STATUS_PENDING && wait) {
        const auto event = Find<Event>(overlapped.hEvent);
        if (!event) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        while (status == STATUS_PENDING) {
            event->Wait(INFINITE);
            std::tie(status, bytes) = file->reader()->Outcome(overlapped);
        }
    }
    if (bytesTransferred != nullptr) {
        *bytesTransferred = bytes;
    }
    switch (status) {
        case STATUS_SUCCESS:
            return Succeed();
        case STATUS_PENDING:
            return Fail(ERROR_IO_INCOMPLETE);
        case STATUS_CANCELLED:
            return Fail(ERROR_OPERATION_ABORTED);
        case STATUS_DEVICE_NOT_CONNECTED:
            return Fail(ERROR_DEVICE_NOT_CONNECTED);
        default:
            return Fail(ERROR_GEN_FAILURE);
    }
}

std::uint32_t LinuxHidPlatform::GetLastError() {
    return tLastError;
}

// --- what the Linux side adds ---

std::optional<LinuxHidPlatform::InputQueueState> LinuxHidPlatform::InputQueue(Handle device) const {
    const auto file = Find<HidrawFile>(device);
    if (!file || file->reader() == nullptr) {
        return std::nullopt;
    }
    const HidrawReader::State state = file->reader()->CurrentState();
    return InputQueueState{state.queued, state.capacity, state.received, state.dropped,
                           state.deviceGone};
}

std::optional<std::string> LinuxHidPlatform::TakePermissionDiagnosis() {
    std::lock_guard lock(diagnosisMutex_);
    if (diagnosis_ != Diagnosis::Waiting) {
        return std::nullopt;
    }
    diagnosis_ = Diagnosis::Given;
    return diagnosisText_;
}

bool LinuxHidPlatform::NumberedReports(const HidrawFile& file) const {
    auto descriptor = sysfs_.ReportDescriptor(file.node());
    if (!descriptor) {
        descriptor = DescriptorFromDevice(file.fd());
    }
    // Without a descriptor, the common case: a device without report ids.
    return descriptor && UsesNumberedReports(*descriptor);
}

bool LinuxHidPlatform::IsAdapterNode(const std::string& path) const {
    const std::size_t slash = path.rfind('/');
    const std::optional<HidId> id =
        sysfs_.Id(slash == std::string::npos ? path : path.substr(slash + 1));
    return id && id->vendor == kAdapterVendorId && id->product == kAdapterProductId;
}

void LinuxHidPlatform::NoteOpenFailure(const std::string& path, int error) {
    if (error != EACCES && error != EPERM) {
        return;
    }
    {
        std::lock_guard lock(diagnosisMutex_);
        if (diagnosis_ != Diagnosis::None) {
            return;
        }
    }
    if (!IsAdapterNode(path)) {
        return;
    }
    std::lock_guard lock(diagnosisMutex_);
    if (diagnosis_ == Diagnosis::None) {
        diagnosis_ = Diagnosis::Waiting;
        diagnosisText_ = PermissionDiagnosisText(path);
    }
}

void LinuxHidPlatform::NoteAdapterOpened(const std::string& path) {
    {
        std::lock_guard lock(diagnosisMutex_);
        if (diagnosis_ == Diagnosis::None) {
            return;  // the common case costs no sysfs read
        }
    }
    if (IsAdapterNode(path)) {
        std::lock_guard lock(diagnosisMutex_);
        diagnosis_ = Diagnosis::None;
    }
}

}  // namespace vr
