#pragma once
// Entry names are handled as UTF-8 inside the library, whatever the archive stored.
#include <string>
#include <string_view>

namespace zevlib {

// Strict: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view text);

// A name stored without the UTF-8 flag, in the DOS code page of the archiver that made it:
// the system's OEM code page on Windows, code page 437 elsewhere.
std::string LegacyNameToUtf8(std::string_view raw);

}  // namespace zevlib
