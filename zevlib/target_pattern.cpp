#include "zevlib/target_pattern.h"

#include "zevlib/entry_names.h"
#include "zevlib/errors.h"

namespace zevlib {
namespace {

bool IsWildcard(char c) { return c == '*' || c == '?'; }

// Steps over one UTF-8 character, so '?' stands for a character, not a byte.
std::size_t CharLength(std::string_view text, std::size_t at) {
  std::size_t end = at + 1;
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return end - at;
}

bool GlobMatches(std::string_view pattern, std::string_view text) {
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t starAt = std::string_view::npos;
  std::size_t resumeAt = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = t;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      t += CharLength(text, t);
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      resumeAt += CharLength(text, resumeAt);
      t = resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

TargetPattern::TargetPattern(std::string_view text) : text_(text) {
  if (text.empty()) throw ZipError(ZEV_ERROR_ILLEGAL_WILDCARD_PATH, "an empty name to extract");
  std::string key = NameKey(text);
  // "a*/" names folders: a wildcard there is a wildcard in a folder part too.
  bool namesFolder = text.back() == '/' || text.back() == '\\';
  std::size_t slash = key.rfind('/');
  std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  folder_ = key.substr(0, fileStart);
  file_ = key.substr(fileStart);
  for (char c : namesFolder ? key : folder_) {
    if (IsWildcard(c)) {
      throw ZipError(ZEV_ERROR_ILLEGAL_WILDCARD_PATH,
                     "wildcard in a folder name: \"" + text_ + "\"");
    }
  }
  for (char c : file_) wildcard_ = wildcard_ || IsWildcard(c);
}

bool TargetPattern::Matches(std::string_view entryName) const {
  return MatchesKey(NameKey(entryName));
}

bool TargetPattern::MatchesKey(std::string_view key) const {
  if (!wildcard_)
    return key.size() == folder_.size() + file_.size() && key.starts_with(folder_) &&
           key.ends_with(file_);
  if (!key.starts_with(folder_)) return false;
  std::string_view file = key.substr(folder_.size());
  return file.find('/') == std::string_view::npos && GlobMatches(file_, file);
}

}  // namespace zevlib
