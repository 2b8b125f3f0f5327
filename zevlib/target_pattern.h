#pragma once
// The names the caller asks to extract. Each is an entry name as listed (either separator, any
// letter case) or a pattern with '*' and '?' in its file name: "docs/*.txt" takes the files
// directly in docs. Wildcards in a folder part are refused, since that would reach into folders
// the caller did not name.
#include <string>
#include <string_view>

namespace zevlib {

class TargetPattern {
 public:
  // Throws ZipError(ZEV_ERROR_ILLEGAL_WILDCARD_PATH) for an empty name or a wildcard in a folder
  // part.
  explicit TargetPattern(std::string_view text);

  bool Matches(std::string_view entryName) const;
  // The same for an entry name already in NameKey form.
  bool MatchesKey(std::string_view key) const;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::string folder_;  // key form, ending with '/' unless empty
  std::string file_;    // key form
  bool wildcard_ = false;
};

}  // namespace zevlib
