#include "shared/CapturePaths.h"

#include <algorithm>
#include <cstdint>
#include <random>

#include "shared/Errors.h"

namespace vr {
namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif
constexpr const char* kReplacementMark = ".vr-new-";
constexpr std::size_t kUniqueLength = 12;
constexpr const char* kUniqueAlphabet = "0123456789abcdefghijklmnopqrstuvwxyz";

// The folder part with its trailing separator, and the name.
std::size_t NameStart(const std::string& path) {
    const auto separator = path.find_last_of(kSeparators);
    return separator == std::string::npos ? 0 : separator + 1;
}

// FNV-1a, 64 bits: a short stable name for a long path. The journal folder is the user's own, so
// nobody can plant a path that collides, and the journal records the whole path besides.
std::uint64_t PathHash(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace

std::string ReplacementFor(const std::string& target, const std::string& unique) {
    const std::size_t name = NameStart(target);
    return target.substr(0, name) + "." + target.substr(name) + kReplacementMark + unique;
}

bool IsReplacementFor(const std::string& path, const std::string& target) {
    const std::string prefix = ReplacementFor(target, "");
    if (path.size() != prefix.size() + kUniqueLength ||
        path.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const std::string alphabet = kUniqueAlphabet;
    return std::all_of(path.begin() + static_cast<std::ptrdiff_t>(prefix.size()), path.end(),
                       [&](char c) { return alphabet.find(c) != std::string::npos; });
}

std::string UniqueSuffix() {
    std::random_device random;
    const std::string alphabet = kUniqueAlphabet;
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string unique(kUniqueLength, '0');
    for (char& c : unique) {
        c = alphabet[pick(random)];
    }
    return unique;
}

std::string CaptureStatePath(FileSystem& files, const std::string& capture,
                             const std::string& extension) {
    const std::string folder = files.JournalFolder();
    if (folder.empty()) {
        const std::string problem = files.TempFolderProblem();
        throw FileError(capture,
                        problem.empty() ? "there is no private folder for its journal" : problem);
    }
    static constexpr const char* kHex = "0123456789abcdef";
    std::uint64_t hash = PathHash(files.AbsolutePath(capture));
    std::string digits(16, '0');
    for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit, hash >>= 4) {
        *digit = kHex[hash & 0xF];
    }
    return folder + "capture-" + digits + extension;
}

}  // namespace vr
