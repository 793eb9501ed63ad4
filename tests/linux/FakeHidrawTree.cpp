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

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

}  // namespace

FakeHidrawTree::FakeHidrawTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vr-hidraw-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
    std::filesystem::create_directories(root_ / "sys/class/hidraw");
    std::filesystem::create_directories(root_ / "dev");
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
    const auto device = root_ / "sys/class/hidraw" / ("hidraw" + std::to_string(number)) / "device";
    WriteFile(device / "report_descriptor", std::string(descriptor.begin(), descriptor.end()));
    if (::mkfifo(NodePath(number).c_str(), 0600) != 0 && errno != EEXIST) {
        throw std::runtime_error("mkfifo failed");
    }
}

void FakeHidrawTree::AddUevent(unsigned number, const std::string& uevent) {
    const auto device = root_ / "sys/class/hidraw" / ("hidraw" + std::to_string(number)) / "device";
    std::filesystem::create_directories(device);
    WriteFile(device / "uevent", uevent);
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
        int pair[2];
        int type = SOCK_SEQPACKET | SOCK_CLOEXEC;
        if ((flags & O_NONBLOCK) != 0) {
            type |= SOCK_NONBLOCK;
        }
        if (::socketpair(AF_UNIX, type, 0, pair) != 0) {
            return -1;
        }
        if (served->second >= 0) {
            ::close(served->second);
        }
        served->second = pair[1];
        // The device side blocks, so that a burst of reports waits for the reader, not lost.
        ::fcntl(pair[1], F_SETFL, ::fcntl(pair[1], F_GETFL) & ~O_NONBLOCK);
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
    const int fd = socketNodes_.at(NodePath(number));
    if (::send(fd, report.data(), report.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(report.size())) {
        throw std::runtime_error("send to the fake device failed");
    }
}

void FakeHidrawTree::Unplug(unsigned number) {
    int& fd = socketNodes_.at(NodePath(number));
    ::close(fd);
    fd = -1;
    std::filesystem::remove_all(root_ / "sys/class/hidraw" / ("hidraw" + std::to_string(number)));
    std::filesystem::remove(NodePath(number));
}

LinuxHidPlatform MakePlatform(FakeHidrawTree& tree) {
    return LinuxHidPlatform(tree.SysfsDir(), tree.DeviceDir(), tree.Opener());
}

}  // namespace vr::test
