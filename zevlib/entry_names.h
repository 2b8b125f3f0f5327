#pragma once
// The rules an entry name must pass before anything is written for it. They are Windows' rules,
// applied on every platform, so an archive that is refused on Windows is refused in the tests.
#include <string>
#include <string_view>
#include <vector>

namespace zevlib {

struct CheckedName {
  std::vector<std::string> parts;  // folder names, then the file name (UTF-8)
  bool isFolder = false;           // the name ended with a separator
};

// Throws ZipError(ZEV_ERROR_UNSAFE_ENTRY) naming the rule the name breaks: anything that could
// leave the destination folder (relative parts, absolute, UNC, drive and device paths), open a
// stream or a device, or be silently renamed by Windows (trailing dots and blanks).
CheckedName CheckEntryName(std::string_view name);

// One spelling for all names Windows takes for the same file: separators unified, a trailing
// separator dropped, ASCII letters folded.
std::string NameKey(std::string_view name);

}  // namespace zevlib
