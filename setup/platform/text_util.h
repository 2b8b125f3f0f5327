#pragma once
#include <string>
#include <string_view>

namespace zev {

// ASCII-only case mapping: script texts are ANSI and the engine's comparisons are on the
// letters A to Z.
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The path with exactly one trailing backslash.
std::string WithTrailingBackslash(std::string_view path);
// Folder part of a path including its trailing backslash ("C:\a\b.exe" -> "C:\a\").
std::string FolderOf(std::string_view path);
// File name part of a path ("C:\a\b.exe" -> "b.exe").
std::string FileNameOf(std::string_view path);
// File name without its last extension ("C:\a\b.x.exe" -> "b.x").
std::string BaseNameOf(std::string_view path);

}  // namespace zev
