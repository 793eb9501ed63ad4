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
// "verada-rede-<uid>" under $TMPDIR (or /tmp), created private; when that name is taken by a
// folder that is not the user's own private folder, "verada-rede" in the user's cache folder
// ($XDG_CACHE_HOME, or ~/.cache), and FolderNote says so. The journal folder is "verada-rede" in
// $XDG_STATE_HOME (or ~/.local/state), else the temporary folder.
class PosixFileSystem : public FileSystem {
public:
    // Files and folders belong to the effective user.
    PosixFileSystem();
    // Files and folders must belong to `owner` (for checking the refusal of foreign folders).
    explicit PosixFileSystem(uid_t owner) : owner_(owner) {}

    std::string TempFolder() override;
    std::string TempFolderProblem() override { return tempFolderProblem_; }
    std::string FolderNote() override { return folderNote_; }
    bool FileExists(const std::string& path) override;
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

private:
    bool IsPrivateFolder(const std::string& path) const;

    uid_t owner_;
    std::string tempFolderProblem_;
    std::string folderNote_;
};

}  // namespace vr::posix
