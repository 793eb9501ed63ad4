#pragma once

#include <string>

#include "shared/FileSystem.h"

namespace vr {

// The names the program gives the files that belong to a capture file and to a save of it.

// The name the new content for `target` (an absolute path, as AbsolutePath gives it) is written
// under before it takes the target's place: hidden, beside the target in its folder, so that the
// last step is a rename, and ending in `unique`, so that nobody can occupy the name in advance.
std::string ReplacementFor(const std::string& target, const std::string& unique);
// True when `path` is a name ReplacementFor(target, ...) gives for some `unique`: nothing else
// is ever removed or renamed as a save's replacement.
bool IsReplacementFor(const std::string& path, const std::string& target);
// Random letters and digits for ReplacementFor, from the system's source of randomness.
std::string UniqueSuffix();

// Where FileSystem::WritePrivateFile writes the new content of `path` before it renames it into
// place: a fixed name, since only the holder of the capture's lock writes there and the folder
// is private, so that a draft a kill left behind is found and removed by the next holder.
inline std::string DraftOf(const std::string& path) {
    return path + ".new";
}

// Where the program keeps what belongs to the capture file `capture` besides the file itself
// (`extension` ".lock": the lock that keeps it to one program at a time; ".journal": the
// journal of its save): in the user's journal folder, where nobody else can place a file, named
// after the capture's absolute path, so that every spelling of that path finds the same one.
// Throws FileError when there is no journal folder or the capture's absolute path is not known.
std::string CaptureStatePath(FileSystem& files, const std::string& capture,
                             const std::string& extension);

}  // namespace vr
