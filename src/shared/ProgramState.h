#pragma once

#include <string>

namespace vr {

// State that lives as long as the program and that several parts read and write.
struct ProgramState {
    // True while received data waits in the capture file and has been neither saved nor discarded.
    bool UnsavedData = false;
    // True while a reception holds the capture file open for writing: it must then be neither
    // exported nor deleted, or the reports still arriving would be written into a lost file.
    bool CaptureFileOpen = false;
    // Full path of the capture file: the user's temporary folder followed by "vrtemp.csv".
    std::string CaptureFilePath;
};

inline constexpr const char* kCaptureFileName = "vrtemp.csv";

// Told when the program starts while another copy of it already holds the capture file.
inline constexpr const char* kAlreadyRunningMessage =
    "Verada Rede is already running: its icon is in the notification area.";

}  // namespace vr
