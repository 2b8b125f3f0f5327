#pragma once
#include <string>
#include <string_view>

#include "setup/platform/file_system.h"

namespace zev::platform {

// The whole file as bytes; Error when it cannot be opened.
std::string ReadWholeFile(FileSystem& files, const std::string& path);

// Creates or replaces the file with the bytes; false when it cannot be written.
bool WriteWholeFile(FileSystem& files, const std::string& path, std::string_view bytes);

}  // namespace zev::platform
