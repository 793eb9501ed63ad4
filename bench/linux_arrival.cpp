// Arrival on a fake device tree: the time from a hidraw node appearing to the search that finds
// the adapter. A thread waits on the device folder's watch as the tray's event loop does and
// searches as a poll does when the watch wakes it; the main thread adds the adapter's sysfs
// folder, then its node (the kernel's order), 50 times. Prints the times in milliseconds.
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "FakeHidrawTree.h"
#include "adapter/USBAdapter.h"
#include "platform/linux/HidrawWatch.h"
#include "platform/posix/PosixFileSystem.h"
#include "support/BenchWindow.h"

int main() {
    using Clock = std::chrono::steady_clock;
    vr::test::FakeHidrawTree tree;
    vr::LinuxHidPlatform hid = vr::test::MakePlatform(tree);
    vr::HidrawWatch watch(tree.DeviceDir());
    vr::bench::BenchPriority priority;
    vr::posix::PosixFileSystem files;
    vr::bench::BenchWindow window;
    vr::ProgramState state;
    std::vector<double> ms;
    for (int round = 0; round < 50; ++round) {
        std::atomic<Clock::time_point> created{};
        Clock::time_point found{};
        std::thread waiter([&] {
            for (;;) {
                pollfd entry{watch.Descriptor(), POLLIN, 0};
                if (::poll(&entry, 1, 5000) <= 0) {
                    return;  // never found: counted below
                }
                if (!watch.TakeChanges()) {
                    continue;
                }
                vr::USBAdapter adapter(vr::AdapterContext{hid, priority, files, window, state});
                if (adapter.InitDevice()) {
                    found = Clock::now();
                    adapter.CloseDevice();
                    return;
                }
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        created = Clock::now();
        tree.AddNode(0, 0x11D2, 0x0001);
        waiter.join();
        if (found == Clock::time_point{}) {
            std::fprintf(stderr, "linux_arrival: round %d: the adapter was not found\n", round);
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(found - created.load()).count());
        std::filesystem::remove(tree.NodePath(0));
        std::filesystem::remove_all(tree.SysfsDir() + "/hidraw0");
        watch.TakeChanges();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("arrival_ms median %.2f max %.2f\n", ms[ms.size() / 2], ms.back());
    return 0;
}
