#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vr::test {

// A fresh, private, empty folder for one test's real files; removed with everything in it
// afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::filesystem::path Path() const { return folder_; }
    // The full path of `name` inside the folder; "" gives the folder with a trailing '/'.
    std::string Path(const std::string& name) const { return folder_ + "/" + name; }

    static void WriteFile(const std::string& path, const std::string& bytes);
    // The file's bytes, or nullopt when there is no such file.
    static std::optional<std::string> ReadFile(const std::string& path);

private:
    std::string folder_;
};

}  // namespace vr::test
