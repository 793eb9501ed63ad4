#pragma once

#include <sys/types.h>

#include <string>

#include "shared/FileSystem.h"

namespace vr::posix {

// The file seam on POSIX systems.
//
// The capture file lives in a folder private to the user and is never followed through a
// symbolic link; CSV targets are ordinary files where the user chose (a link's file is replaced,
// the link stays).
//
// The temporary folder is $XDG_RUNTIME_DIR when that is a private folder of the user's, otherwise
// "verada-rede-<uid>" under $TMPDIR (or /tmp), created private; a folder there that is not the
// user's own private folder is refused (the answer is then "").
class PosixFileSystem : public FileSystem {
public:
    // Files and folders belong to the effective user.
    PosixFileSystem();
    // Files and folders must belong to `owner` (for checking the refusal of foreign folders).
    explicit PosixFileSystem(uid_t owner) : owner_(owner) {}

    std::string TempFolder() override;
    std::string TempFolderProblem() override { return tempFolderProblem_; }
    bool FileExists(const std::string& path) override;
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

private:
    bool IsPrivateFolder(const std::string& path) const;

    uid_t owner_;
    std::string tempFolderProblem_;
};

}  // namespace vr::posix
