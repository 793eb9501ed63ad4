#pragma once

// The seam names an operation DeleteFile, which windows.h turns into DeleteFileA when it comes
// first.
#undef DeleteFile

#include <string>

#include "shared/FileSystem.h"

namespace vr::win32 {

// The file seam on Windows, through the ANSI calls of kernel32.
//
// Paths are UTF-8: the programs' manifests make it the ANSI code page.
//
// The capture file is never followed through a reparse point (a link planted in the temporary
// folder) and must be a plain file with one name; CSV targets are written where the user chose
// (a link's file is replaced, the link stays). The journal folder is "Verada Rede" in
// %LOCALAPPDATA%, which only the user (and the administrators) may change, else the temporary
// folder; the private files in it are owned by the user.
class Win32FileSystem : public FileSystem {
public:
    std::string TempFolder() override;
    bool FileExists(const std::string& pattern) override;
    void DeleteFile(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override;
    std::optional<FileIdentity> Identify(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenForAppend(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateReplacement(const std::string& target,
                                                  const std::string& replacement) override;
    void CommitReplacement(const std::string& replacement, const std::string& target,
                           bool overwrite) override;
    std::string AbsolutePath(const std::string& path) override;
    std::string JournalFolder() override;
    void WritePrivateFile(const std::string& path, const std::string& content) override;
    std::unique_ptr<InputFile> OpenPrivateFile(const std::string& path) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override;
    std::string CurrentFolder() override;
};

// The system's text for an error code, without the trailing line break.
std::string SystemErrorText(unsigned long error);

// True for a path that names the same file whatever the current folder and drive: "X:\..." or
// a UNC path "\\server\...", never "X:name" or "\name".
bool IsAbsolutePath(const std::string& path);

}  // namespace vr::win32
