#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "shared/ForwardingFileSystem.h"

namespace vr::demo {

// The demo on a slow disk: every read of a file pauses first, so that a save's progress window
// stays up long enough to be looked at (by a person, or by a test through the accessibility
// bus). The window keeps answering between the reads, as it does on a real slow disk.
class SlowReads final : public ForwardingFileSystem {
public:
    SlowReads(FileSystem& inner, std::chrono::milliseconds pause)
        : ForwardingFileSystem(inner), pause_(pause) {}

    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override {
        return std::make_unique<SlowFile>(inner().OpenForReading(path), pause_);
    }

private:
    class SlowFile final : public ForwardingInputFile {
    public:
        SlowFile(std::unique_ptr<InputFile> inner, std::chrono::milliseconds pause)
            : ForwardingInputFile(std::move(inner)), pause_(pause) {}
        std::size_t Read(std::uint8_t* data, std::size_t size) override {
            std::this_thread::sleep_for(pause_);
            return ForwardingInputFile::Read(data, size);
        }

    private:
        std::chrono::milliseconds pause_;
    };

    std::chrono::milliseconds pause_;
};

}  // namespace vr::demo
