#pragma once
#include <string>

#include "setup/platform/file_system.h"

namespace zev {

// Creates TempDir + "zev" + N for the smallest N whose name is free, and returns it with a
// trailing backslash. Throws zev::Error when no folder can be made.
std::string CreateSupportFolder(platform::FileSystem& files, const std::string& tempDir);

// Empties the folder three times over (files made writable and deleted, sub-folders emptied
// and removed), so that files released late by other processes go too, then removes it.
void RemoveSupportFolder(platform::FileSystem& files, const std::string& folder);

}  // namespace zev
