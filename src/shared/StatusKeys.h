#pragma once

#include <array>

namespace vr {

// Keys of the status pictures in the image list imlStatus.
inline constexpr const char* keyVR = "keyVR";
inline constexpr const char* keyConnected = "keyConnected";
inline constexpr const char* keyReceiving = "keyReceiving";
inline constexpr const char* keyPaused = "keyPaused";
inline constexpr const char* keyDisconnected = "keyDisconnected";

// Every picture of imlStatus, in the order the image list holds them.
inline constexpr std::array<const char*, 5> kStatusKeys{keyVR, keyConnected, keyReceiving,
                                                        keyPaused, keyDisconnected};

}  // namespace vr
