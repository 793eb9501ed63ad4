// Cost of one poll of the tray while the adapter is absent, with 0, 8 and 32 other HID
// interfaces present, on the hidraw backend over a fake sysfs tree: what the main window's poll
// does then, that is a new USBAdapter, InitDevice (the search, which opens every interface and
// reads its attributes), the status icon that stays as it is, and the adapter's destruction.

#include <benchmark/benchmark.h>

#include <memory>

#include "FakeHidrawTree.h"
#include "adapter/USBAdapter.h"
#include "platform/posix/PosixFileSystem.h"
#include "shared/StatusKeys.h"
#include "support/BenchWindow.h"

namespace {

void BM_PollAdapterAbsent(benchmark::State& state) {
    vr::test::FakeHidrawTree tree;
    for (unsigned n = 0; n < static_cast<unsigned>(state.range(0)); ++n) {
        tree.AddNode(n, 0x046D, static_cast<std::uint16_t>(0xC000 + n));
    }
    vr::LinuxHidPlatform hid = vr::test::MakePlatform(tree);
    vr::bench::BenchPriority priority;
    vr::posix::PosixFileSystem files;
    vr::bench::BenchWindow window;
    vr::ProgramState programState;
    const vr::AdapterFactory createAdapter = [&]() -> std::unique_ptr<vr::AdapterLink> {
        return std::make_unique<vr::USBAdapter>(
            vr::AdapterContext{hid, priority, files, window, programState});
    };
    window.SetStatusIcon(vr::keyDisconnected);

    for (auto _ : state) {
        std::unique_ptr<vr::AdapterLink> adapter = createAdapter();
        const bool found = adapter->InitDevice();
        if (found || window.SetStatusIcon(vr::keyDisconnected)) {
            state.SkipWithError("the absent adapter was found");
            break;
        }
        adapter.reset();
    }
}
BENCHMARK(BM_PollAdapterAbsent)->Arg(0)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace
