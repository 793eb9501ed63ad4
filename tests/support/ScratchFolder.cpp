#include "support/ScratchFolder.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vr::test {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    // A new folder of a random name; creating it fails if the name is taken, so it is ours.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() /
            ("verada-test-" + std::to_string(random()) + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            // Private, as the program's own temporary folder must be.
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
            folder_ = candidate.generic_string();
        }
    }
    if (folder_.empty()) {
        throw std::runtime_error("cannot create a scratch folder");
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(folder_, ignored);
}

void ScratchFolder::WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::optional<std::string> ScratchFolder::ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vr::test
