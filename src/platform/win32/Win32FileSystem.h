#pragma once

// The seam names an operation DeleteFile, which windows.h turns into DeleteFileA when it comes
// first.
#undef DeleteFile

#include <string>

#include "shared/FileSystem.h"

namespace vr::win32 {

// The file seam on Windows, through the ANSI calls of kernel32.
//
// The capture file is never followed through a reparse point (a link planted in the temporary
// folder) and must be a plain file with one name; CSV targets are written where the user chose
// (a link's file is replaced, the link stays).
class Win32FileSystem : public FileSystem {
public:
    std::string TempFolder() override;
    bool FileExists(const std::string& pattern) override;
    void DeleteFile(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override;
    std::optional<FileIdentity> Identify(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenForAppend(const std::string& path) override;
    std::string ReplacementPath(const std::string& target) override;
    std::unique_ptr<OutputFile> CreateReplacement(const std::string& target) override;
    void CommitReplacement(const std::string& target, bool overwrite) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override;
    std::string CurrentFolder() override;
};

// The system's text for an error code, without the trailing line break.
std::string SystemErrorText(unsigned long error);

}  // namespace vr::win32
