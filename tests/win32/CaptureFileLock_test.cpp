// The lock that keeps the capture file to one copy of the program, on the real file system.
#include <gtest/gtest.h>
#include <windows.h>

#include "shared/CaptureFileLock.h"

#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace vr::win32 {
namespace {

using State = CaptureFileLock::State;

TEST(Win32CaptureFileLock, OneHolderAtATimeAndNothingLeftBehind) {
    std::random_device random;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("verada-lock-" + std::to_string(random()));
    std::filesystem::create_directory(folder);
    const std::string lock = (folder / "capture-0123456789abcdef.lock").string();

    // The holder says who it is; the one kept out can read it, and still not take the lock.
    auto first = std::make_unique<CaptureFileLock>(lock, "", CaptureFileLock::Holder::Watch);
    ASSERT_EQ(first->GetState(), State::Held);
    EXPECT_EQ(CaptureFileLock(lock).GetState(), State::HeldByAnother);
    EXPECT_EQ(CaptureFileLock(lock).OtherHolder(), CaptureFileLock::Holder::Watch);
    first.reset();
    EXPECT_FALSE(std::filesystem::exists(lock));
    EXPECT_EQ(CaptureFileLock(lock).GetState(), State::Held);

    // Any other failure fails closed and names the folder.
    EXPECT_EQ(CaptureFileLock("capture.lock").Problem(), kNoCaptureFolder);
    EXPECT_FALSE(std::filesystem::exists("capture.lock"));
    const CaptureFileLock missing((folder / "missing" / "capture.lock").string());
    EXPECT_EQ(missing.GetState(), State::Failed);
    EXPECT_NE(missing.Problem().find((folder / "missing").string()), std::string::npos);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vr::win32
