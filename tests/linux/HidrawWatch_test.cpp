#include "platform/linux/HidrawWatch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "FakeHidrawTree.h"

namespace vr::test {
namespace {

using namespace std::chrono_literals;

// Only changes of hidraw nodes count, each kind of them does, and nothing is told twice.
TEST(HidrawWatch, TellsChangesOfHidrawNodesOnly) {
    FakeHidrawTree tree;
    const std::filesystem::path dev = tree.DeviceDir();
    HidrawWatch watch(dev.string());
    ASSERT_TRUE(watch.Watching()) << watch.Failure();
    EXPECT_FALSE(watch.TakeChanges());
    struct Step {
        const char* what;
        std::function<void()> change;
        bool told;
    };
    const Step steps[] = {
        {"tty created", [&] { std::ofstream(dev / "tty7").put('x'); }, false},
        {"tty chmod", [&] { ::chmod((dev / "tty7").c_str(), 0600); }, false},
        {"hidraw created", [&] { std::ofstream(dev / "hidraw4").put('x'); }, true},
        {"hidraw chmod", [&] { ::chmod((dev / "hidraw4").c_str(), 0660); }, true},
        {"hidraw removed", [&] { std::filesystem::remove(dev / "hidraw4"); }, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        EXPECT_EQ(watch.AwaitChange(step.told ? 2000ms : 50ms), step.told);
        EXPECT_FALSE(watch.TakeChanges());
    }
}

TEST(HidrawWatch, MissingFolderIsNoWatchAndSaysWhy) {
    HidrawWatch watch("/nonexistent/verada-dev");
    EXPECT_FALSE(watch.Watching());
    EXPECT_NE(watch.Failure().find("/nonexistent/verada-dev"), std::string::npos);
    EXPECT_EQ(watch.Descriptor(), -1);
    EXPECT_TRUE(watch.TakeChanges());  // unwatched: anything may have changed
}

}  // namespace
}  // namespace vr::test
