#include "FakeHidrawTree.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace vr::test {

namespace {

void Check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error("fake hidraw tree: " + what + " failed");
    }
}

}  // namespace

FakeHidrawTree::FakeHidrawTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vr-hidraw-XXXXXX").string();
    Check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    root_ = pattern;
    std::filesystem::create_directories(SysfsDir());
    std::filesystem::create_directories(DeviceDir());
}

FakeHidrawTree::~FakeHidrawTree() {
    for (const auto& [path, fd] : socketNodes_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string FakeHidrawTree::NodePath(unsigned number) const {
    return DeviceDir() + "/hidraw" + std::to_string(number);
}

void FakeHidrawTree::AddNode(unsigned number, std::uint16_t vendor, std::uint16_t product,
                             const std::vector<std::uint8_t>& descriptor) {
    char uevent[128];
    std::snprintf(uevent, sizeof uevent,
                  "DRIVER=hid-generic\nHID_ID=0003:%08X:%08X\nHID_NAME=Test device\n", vendor,
                  product);
    AddUevent(number, uevent);
    std::ofstream(SysfsDir() + "/hidraw" + std::to_string(number) + "/device/report_descriptor",
                  std::ios::binary)
        .write(reinterpret_cast<const char*>(descriptor.data()),
               static_cast<std::streamsize>(descriptor.size()));
    Check(::mkfifo(NodePath(number).c_str(), 0600) == 0 || errno == EEXIST, "mkfifo");
}

void FakeHidrawTree::AddUevent(unsigned number, const std::string& uevent) {
    const auto device = SysfsDir() + "/hidraw" + std::to_string(number) + "/device";
    std::filesystem::create_directories(device);
    Check(static_cast<bool>(std::ofstream(device + "/uevent", std::ios::binary) << uevent),
          "writing " + device);
}

LinuxHidPlatform::NodeOpener FakeHidrawTree::Opener() {
    return [this](const std::string& path, int flags) -> int {
        if (const auto refused = refused_.find(path); refused != refused_.end()) {
            errno = refused->second;
            return -1;
        }
        const auto served = socketNodes_.find(path);
        if (served == socketNodes_.end()) {
            return ::open(path.c_str(), flags);
        }
        // The device side blocks, so that a burst of reports waits for the reader, not lost.
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
            return -1;
        }
        if ((flags & O_NONBLOCK) != 0) {
            ::fcntl(pair[0], F_SETFL, O_NONBLOCK);
        }
        if (served->second >= 0) {
            ::close(served->second);
        }
        served->second = pair[1];
        return pair[0];
    };
}

void FakeHidrawTree::ServeBySocket(unsigned number) {
    socketNodes_.emplace(NodePath(number), -1);
}

void FakeHidrawTree::Refuse(unsigned number, int error) {
    refused_[NodePath(number)] = error;
}

void FakeHidrawTree::Allow(unsigned number) {
    refused_.erase(NodePath(number));
}

void FakeHidrawTree::Send(unsigned number, const std::vector<std::uint8_t>& report) {
    Check(::send(socketNodes_.at(NodePath(number)), report.data(), report.size(), MSG_NOSIGNAL) ==
              static_cast<ssize_t>(report.size()),
          "send");
}

void FakeHidrawTree::Unplug(unsigned number) {
    int& fd = socketNodes_.at(NodePath(number));
    ::close(fd);
    fd = -1;
    std::filesystem::remove_all(SysfsDir() + "/hidraw" + std::to_string(number));
    std::filesystem::remove(NodePath(number));
}

LinuxHidPlatform MakePlatform(FakeHidrawTree& tree) {
    return LinuxHidPlatform(tree.SysfsDir(), tree.DeviceDir(), tree.Opener());
}

}  // namespace vr::test
