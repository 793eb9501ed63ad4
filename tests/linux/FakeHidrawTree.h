#pragma once

// A hidraw world for the Linux backend: a sysfs class folder and a device folder in a fresh
// temporary folder, and device nodes served through SOCK_SEQPACKET socket pairs, which keep
// report boundaries as hidraw does and report the peer's close as POLLHUP, as a removal does.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/LinuxHidPlatform.h"

namespace vr::test {

inline const std::vector<std::uint8_t> kUnnumberedDescriptor = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor)
    0x09, 0x01,        // Usage
    0xA1, 0x01,        // Collection (application)
    0x75, 0x08,        //   Report Size 8
    0x95, 0x08,        //   Report Count 8
    0x09, 0x02,        //   Usage
    0x81, 0x02,        //   Input
    0xC0};             // End Collection

inline const std::vector<std::uint8_t> kNumberedDescriptor = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x05,  //   Report ID 5
    0x75, 0x08, 0x95, 0x08, 0x09, 0x02, 0x81, 0x02, 0xC0};

class FakeHidrawTree {
public:
    FakeHidrawTree();
    ~FakeHidrawTree();
    FakeHidrawTree(const FakeHidrawTree&) = delete;
    FakeHidrawTree& operator=(const FakeHidrawTree&) = delete;

    std::string SysfsDir() const { return (root_ / "sys/class/hidraw").string(); }
    std::string DeviceDir() const { return (root_ / "dev").string(); }
    std::string NodePath(unsigned number) const;

    // A hidraw node with its sysfs folder; the device node itself is a FIFO.
    void AddNode(unsigned number, std::uint16_t vendor, std::uint16_t product,
                 const std::vector<std::uint8_t>& descriptor = kUnnumberedDescriptor);
    void AddUevent(unsigned number, const std::string& uevent);

    // Opens nodes as open(2) does, except that a node marked with ServeBySocket gives one end of
    // a fresh socket pair and a node marked with Refuse fails with the given errno.
    LinuxHidPlatform::NodeOpener Opener();
    void ServeBySocket(unsigned number);
    void Refuse(unsigned number, int error);
    void Allow(unsigned number);

    // The device side of the socket pair last opened for the node.
    void Send(unsigned number, const std::vector<std::uint8_t>& report);
    void Unplug(unsigned number);

private:
    std::filesystem::path root_;
    std::map<std::string, int> socketNodes_;  // path -> device side (-1: none open yet)
    std::map<std::string, int> refused_;
};

// Builds a platform on the tree, with the tree's opener.
LinuxHidPlatform MakePlatform(FakeHidrawTree& tree);

}  // namespace vr::test
