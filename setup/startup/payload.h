#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "setup/platform/file_system.h"
#include "setup/platform/libraries.h"

namespace zev {

// The size of a program image as its headers describe it: the end of the section whose raw
// data ends last. Whatever the file holds beyond that is appended payload. Nothing when the
// headers are cut short or do not describe an image.
std::optional<std::uint32_t> StubSizeFromHeaders(std::span<const std::byte> headers);

// The stub size of a loaded module.
std::optional<std::uint32_t> GetStubSize(platform::LoadedModule& module);

// Copies what follows the first stubSize bytes of filePath to outputPath. With stubSize 0 the
// module's own image size is used. Returns false, writing nothing, when nothing is appended.
// Throws zev::Error when the file cannot be read or the output cannot be written.
bool CopyAppendedData(platform::FileSystem& files, const std::string& filePath,
                      platform::LoadedModule& module, const std::string& outputPath,
                      std::uint32_t stubSize = 0);

}  // namespace zev
