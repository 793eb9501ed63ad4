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

// How to stop `verada-rede-cli watch`, for the programs it keeps out.
#ifdef _WIN32
inline constexpr const char* kHowToStopWatch =
    "press Ctrl+C in its window, or end verada-rede-cli.exe in the Task Manager";
#else
inline constexpr const char* kHowToStopWatch =
    "systemctl --user stop verada-rede-watch, or Ctrl+C where it runs";
#endif

// Told when the program starts while `verada-rede-cli watch` holds the capture file.
inline std::string WatchRunningMessage() {
    return std::string(
               "verada-rede-cli watch is running: it receives every transfer and saves it "
               "by itself, so Verada Rede cannot receive beside it. To use Verada Rede, "
               "stop watch first (") +
           kHowToStopWatch + "), then start Verada Rede again.";
}

// Follows the lock's problem when the program cannot take its capture file.
inline constexpr const char* kCannotRunWithoutCapture =
    "Verada Rede cannot receive anything without it and ends now.";

}  // namespace vr
