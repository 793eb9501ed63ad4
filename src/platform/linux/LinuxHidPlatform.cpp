#include "platform/linux/LinuxHidPlatform.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/hidcommon/ReportDescriptor.h"
#include "platform/hidcommon/Win32Errors.h"
#include "platform/linux/HidrawReader.h"
#include "shared/AdapterLink.h"

namespace vr {

// One open device node. A file opened for overlapped reading has a reader that drains it.
class HidrawFile : public DeviceFile {
public:
    HidrawFile(int fd, std::string path, bool overlapped)
        : DeviceFile(overlapped), fd_(fd), path_(std::move(path)) {
        const std::size_t slash = path_.rfind('/');
        node_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    }
    ~HidrawFile() override {
        reader_.reset();  // stops and joins the reader before its descriptor goes
        ::close(fd_);
    }

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

// Every file this platform opens is a HidrawFile.
HidrawFile& Hidraw(DeviceFile& file) {
    return static_cast<HidrawFile&>(file);
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
    : EmulatedHidPlatform(LastErrorScope::Thread),
      sysfs_(std::move(sysfsClassDir)),
      deviceDir_(std::move(deviceDir)),
      opener_(std::move(opener)) {
    if (!opener_) {
        opener_ = [](const std::string& path, int flags) { return ::open(path.c_str(), flags); };
    }
}

LinuxHidPlatform::~LinuxHidPlatform() = default;

std::vector<std::string> LinuxHidPlatform::InterfacePaths() {
    std::vector<std::string> paths;
    for (const std::string& node : sysfs_.NodeNames()) {
        paths.push_back(deviceDir_ + "/" + node);
    }
    return paths;
}

std::shared_ptr<DeviceFile> LinuxHidPlatform::OpenDevice(const std::string& path,
                                                         std::uint32_t access, bool overlapped,
                                                         std::uint32_t& error) {
    int fd = -1;
    do {
        fd = opener_(path, OpenFlags(access, overlapped));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int openError = errno;
        NoteOpenFailure(path, openError);
        error = Win32ErrorFromErrno(openError);
        return nullptr;
    }
    auto file = std::make_shared<HidrawFile>(fd, path, overlapped);
    if (overlapped) {
        // Without a descriptor, the common case: a device without report ids.
        const auto descriptor = ReportDescriptor(*file);
        auto reader = HidrawReader::Start(fd, descriptor && UsesNumberedReports(*descriptor));
        if (!reader) {
            error = Win32ErrorFromErrno(errno);
            return nullptr;  // `file` closes the descriptor
        }
        file->set_reader(std::move(reader));
    }
    NoteAdapterOpened(path);
    return file;
}

std::uint32_t LinuxHidPlatform::Identify(DeviceFile& file, HiddAttributes& identity) {
    const std::optional<HidId> id = sysfs_.Id(Hidraw(file).node());
    if (!id) {
        return ERROR_GEN_FAILURE;
    }
    // hidraw does not tell the device's release number: it stays 0.
    identity.VendorID = id->vendor;
    identity.ProductID = id->product;
    return ERROR_SUCCESS;
}

std::optional<std::vector<std::uint8_t>> LinuxHidPlatform::Descriptor(DeviceFile& file) {
    const HidrawReader* reader = Hidraw(file).reader();
    if (reader != nullptr && reader->CurrentState().deviceGone) {
        return std::nullopt;
    }
    return ReportDescriptor(Hidraw(file));
}

std::optional<std::vector<std::uint8_t>> LinuxHidPlatform::ReportDescriptor(
    const HidrawFile& file) const {
    auto descriptor = sysfs_.ReportDescriptor(file.node());
    if (!descriptor) {
        descriptor = DescriptorFromDevice(file.fd());
    }
    return descriptor;
}

void LinuxHidPlatform::SetInputBuffers(DeviceFile& file, std::uint32_t count) {
    if (HidrawReader* reader = Hidraw(file).reader()) {
        reader->SetCapacity(count);
    }
}

ReportQueue::ReadStart LinuxHidPlatform::StartRead(DeviceFile& file, std::uint8_t* buffer,
                                                   std::uint32_t length, Overlapped& overlapped,
                                                   std::shared_ptr<Event> event,
                                                   std::uint32_t& bytesRead) {
    // Reset before the read is registered, so that a report that completes it at once is not
    // undone by the reset.
    event->Reset();
    return Hidraw(file).reader()->StartRead(buffer, length, overlapped, std::move(event),
                                            bytesRead);
}

void LinuxHidPlatform::CancelRead(DeviceFile& file) {
    if (HidrawReader* reader = Hidraw(file).reader()) {
        reader->Cancel();
    }
}

std::optional<LinuxHidPlatform::ReadOutcome> LinuxHidPlatform::Outcome(DeviceFile& file,
                                                                       Overlapped& overlapped,
                                                                       bool wait) {
    const HidrawReader& reader = *Hidraw(file).reader();
    auto [status, bytes] = reader.Outcome(overlapped);
    if (status == STATUS_PENDING && wait) {
        const auto event = Find<Event>(overlapped.hEvent);
        if (!event) {
            return std::nullopt;
        }
        while (status == STATUS_PENDING) {
            event->Wait(INFINITE);
            std::tie(status, bytes) = reader.Outcome(overlapped);
        }
    }
    return ReadOutcome{status, bytes};
}

// --- what the Linux side adds ---

std::optional<LinuxHidPlatform::InputQueueState> LinuxHidPlatform::InputQueue(Handle device) const {
    const auto file = std::static_pointer_cast<HidrawFile>(Find<DeviceFile>(device));
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

bool LinuxHidPlatform::IsAdapterNode(const std::string& path) const {
    const std::size_t slash = path.rfind('/');
    const std::optional<HidId> id =
        sysfs_.Id(slash == std::string::npos ? path : path.substr(slash + 1));
    return id && id->vendor == AdapterVendorId && id->product == AdapterProductId;
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
