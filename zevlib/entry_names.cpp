#include "zevlib/entry_names.h"

#include <array>
#include <cstdint>

#include "zevlib/errors.h"
#include "zevlib/name_text.h"

namespace zevlib {
namespace {

[[noreturn]] void Refuse(std::string_view name, const char* reason) {
  throw ZipError(ZEV_ERROR_UNSAFE_ENTRY,
                 "unsafe entry name \"" + std::string(name) + "\": " + reason);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// CON, NUL, COM1 and the others open the device whatever the folder and the extension.
bool IsDeviceName(std::string_view part) {
  std::string_view stem = part.substr(0, part.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kPlain = {"con", "prn",    "aux",
                                                             "nul", "conin$", "conout$"};
  for (auto device : kPlain) {
    if (EqualsFolded(stem, device)) return true;
  }
  std::string_view number;
  if (stem.size() > 3 &&
      (EqualsFolded(stem.substr(0, 3), "com") || EqualsFolded(stem.substr(0, 3), "lpt"))) {
    number = stem.substr(3);
  }
  if (number.size() == 1) return number[0] >= '1' && number[0] <= '9';
  // Windows also takes the superscript digits one to three as port numbers.
  return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

void CheckPart(std::string_view name, std::string_view part) {
  if (part.empty()) Refuse(name, "empty folder name");
  if (part == "." || part == "..") Refuse(name, "relative folder");
  if (part.back() == '.' || part.back() == ' ') {
    Refuse(name, "a name ending in a dot or a blank");
  }
  if (IsDeviceName(part)) Refuse(name, "a device name");
}

}  // namespace

CheckedName CheckEntryName(std::string_view name) {
  if (name.empty()) Refuse(name, "empty name");
  if (!IsValidUtf8(name)) Refuse(name, "not valid text");
  for (char c : name) {
    auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x20 || byte == 0x7F) Refuse(name, "control character");
    // ':' covers drive letters and alternate data streams.
    if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      Refuse(name, "a character Windows does not allow in names");
    }
  }
  // Covers "/x", "\x", "\\server\share", "\\?\" and "\\.\".
  if (IsSeparator(name.front())) Refuse(name, "absolute path");

  CheckedName checked;
  std::string_view rest = name;
  if (IsSeparator(rest.back())) {
    checked.isFolder = true;
    rest.remove_suffix(1);
  }
  for (;;) {
    std::size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string_view part = rest.substr(0, end);
    CheckPart(name, part);
    checked.parts.emplace_back(part);
    if (end == rest.size()) break;
    rest.remove_prefix(end + 1);
  }
  return checked;
}

std::string NameKey(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  for (char c : name) key += IsSeparator(c) ? '/' : FoldAscii(c);
  if (!key.empty() && key.back() == '/') key.pop_back();
  return key;
}

}  // namespace zevlib
