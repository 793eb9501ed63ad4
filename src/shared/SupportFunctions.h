#pragma once

#include <string>

#include "shared/FileSystem.h"

namespace vr {

// The user's temporary folder, ending in the platform's separator, or "" when there is none.
std::string TempFolder(FileSystem& files);

// True when `path` names an existing ordinary file; `path` may hold the wildcards * and ? in its
// last part, and then any matching ordinary file counts. The empty path is false without a look
// at the file system, and any failure is the answer false: nothing leaves this routine.
bool FileExists(FileSystem& files, const std::string& path);

}  // namespace vr
