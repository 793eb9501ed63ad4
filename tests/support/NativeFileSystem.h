#pragma once

#include <memory>
#include <string>

#include "shared/FileSystem.h"

namespace vr::test {

// The file seam of the system the tests run on (POSIX or Windows; the build picks it).
std::unique_ptr<FileSystem> NewNativeFileSystem();

// How that system words the failure to open a file whose folder, or the file itself, is missing.
std::string MissingFolderText();
std::string MissingFileText();

}  // namespace vr::test
