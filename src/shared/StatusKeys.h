#pragma once

#include <array>
#include <string_view>

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

// What each status picture says, for those who do not see it: a short name and a sentence.
struct StatusWords {
    const char* key;
    const char* state;
    const char* description;
};

inline constexpr std::array<StatusWords, 5> kStatusWords{{
    {keyVR, "Starting", "Verada Rede is starting."},
    {keyConnected, "Adapter connected",
     "Adapter connected: waiting for the docking station to send its log."},
    {keyReceiving, "Receiving", "Receiving a transfer from the docking station."},
    {keyPaused, "Paused",
     "Looking for the adapter is paused while the window is shown; minimise the window to go on."},
    {keyDisconnected, "No adapter",
     "No adapter: waiting for the infrared adapter to be plugged in."},
}};

// The words of a picture by key; those of keyVR for a key there is no picture of.
constexpr const StatusWords& WordsFor(std::string_view key) {
    for (const StatusWords& words : kStatusWords) {
        if (key == words.key) {
            return words;
        }
    }
    return kStatusWords[0];
}

}  // namespace vr
