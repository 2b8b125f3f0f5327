#include "setup/platform/text_util.h"

#include <algorithm>

namespace zev {

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
}  // namespace

std::string ToLowerAscii(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), LowerAscii);
  return result;
}

std::string ToUpperAscii(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), UpperAscii);
  return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string WithTrailingBackslash(std::string_view path) {
  std::string result(path);
  if (result.empty() || result.back() != '\\') result += '\\';
  return result;
}

std::string FolderOf(std::string_view path) {
  auto end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  return std::string(path.substr(0, end));
}

std::string FileNameOf(std::string_view path) {
  return std::string(path.substr(FolderOf(path).size()));
}

std::string BaseNameOf(std::string_view path) {
  std::string name = FileNameOf(path);
  auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace zev
