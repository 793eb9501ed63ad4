#pragma once

#include <string>

namespace vr {

// State that lives as long as the program and that several parts read and write.
struct ProgramState {
    // True while received data waits in the capture file and has been neither saved nor discarded.
    bool UnsavedData = false;
    // Full path of the capture file: the user's temporary folder followed by "vrtemp.csv".
    std::string CaptureFilePath;
};

inline constexpr const char* kCaptureFileName = "vrtemp.csv";

}  // namespace vr
