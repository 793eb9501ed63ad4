#pragma once

namespace vr {

// Keys of the status pictures in the image list imlStatus.
inline constexpr const char* keyVR = "keyVR";
inline constexpr const char* keyConnected = "keyConnected";
inline constexpr const char* keyReceiving = "keyReceiving";
inline constexpr const char* keyPaused = "keyPaused";
inline constexpr const char* keyDisconnected = "keyDisconnected";

}  // namespace vr
