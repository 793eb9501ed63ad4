#include "platform/linux/HidrawWatch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace vr::test {
namespace {

using namespace std::chrono_literals;

// Created, attributes changed and removed hidraw nodes are told once each; other nodes are not.
// (The kernel run covers a real node's creation.)
TEST(HidrawWatch, TellsChangesOfHidrawNodesOnly) {
    const auto dev =
        std::filesystem::temp_directory_path() / ("vr-watch-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dev);
    HidrawWatch watch(dev.string());
    ASSERT_TRUE(watch.Watching()) << watch.Failure();
    const struct {
        std::string node;
        int step;  // 0 created, 1 chmod, 2 removed
        bool told;
    } cases[] = {{"tty7", 0, false},
                 {"tty7", 1, false},
                 {"hidraw4", 0, true},
                 {"hidraw4", 1, true},
                 {"hidraw4", 2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.node + " " + std::to_string(c.step));
        const auto path = dev / c.node;
        c.step == 0   ? void(std::ofstream(path).put('x'))
        : c.step == 1 ? void(::chmod(path.c_str(), 0600))
                      : void(std::filesystem::remove(path));
        EXPECT_EQ(watch.AwaitChange(c.told ? 2000ms : 50ms), c.told);
        EXPECT_FALSE(watch.TakeChanges());
    }
    std::filesystem::remove_all(dev);

    HidrawWatch missing((dev / "gone").string());  // the fallback: no watch, and why
    EXPECT_FALSE(missing.Watching());
    EXPECT_NE(missing.Failure().find((dev / "gone").string()), std::string::npos);
    EXPECT_TRUE(missing.TakeChanges());  // unwatched: anything may have changed
}

}  // namespace
}  // namespace vr::test
