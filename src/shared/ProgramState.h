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
    // True after a transfer could not be stored and nothing of it was kept, until the docking
    // station pauses: the rest of that transfer is read and let go, so the failure is told once
    // rather than again at every poll while the station sends on.
    bool DroppingTransfer = false;
    // Full path of the capture file: the user's temporary folder followed by "vrtemp.csv".
    std::string CaptureFilePath;
};

inline constexpr const char* kCaptureFileName = "vrtemp.csv";

// Told when the program starts while another copy of it already holds the capture file.
inline constexpr const char* kAlreadyRunningMessage =
    "Verada Rede is already running: its icon is in the notification area.";

// Follows the lock's problem when the program cannot take its capture file.
inline constexpr const char* kCannotRunWithoutCapture =
    "Verada Rede cannot receive anything without it and ends now.";

}  // namespace vr
