// What the platforms' locks share: the words a holder writes into its lock file.
#include "shared/CaptureFileLock.h"

namespace vr {
namespace {

constexpr const char* kTrayProgramText = "verada-rede\n";
constexpr const char* kWatchText = "verada-rede-cli watch\n";

}  // namespace

std::string HolderText(CaptureFileLock::Holder holder) {
    switch (holder) {
        case CaptureFileLock::Holder::TrayProgram:
            return kTrayProgramText;
        case CaptureFileLock::Holder::Watch:
            return kWatchText;
        case CaptureFileLock::Holder::Unknown:
            break;
    }
    return "";
}

CaptureFileLock::Holder HolderFromText(const std::string& text) {
    if (text == kTrayProgramText) {
        return CaptureFileLock::Holder::TrayProgram;
    }
    return text == kWatchText ? CaptureFileLock::Holder::Watch : CaptureFileLock::Holder::Unknown;
}

}  // namespace vr
