#include "zevlib/target_pattern.h"

#include <gtest/gtest.h>

#include "zevlib/errors.h"

namespace zevtest {
namespace {

TEST(TargetPatternTest, MatchesNamesAndFileNamePatterns) {
  struct Case {
    const char* pattern;
    const char* entry;
    bool matches;
  };
  const Case cases[] = {
      {"a.txt", "a.txt", true},
      {"A.TXT", "a.txt", true},
      {"dir\\a.txt", "dir/a.txt", true},
      {"dir/", "dir/", true},
      {"dir", "dir/", true},
      {"a.txt", "dir/a.txt", false},
      {"dir/a.txt", "a.txt", false},
      {"*", "a.txt", true},
      {"*", "dir/a.txt", false},
      {"*.txt", "a.txt", true},
      {"*.txt", "a.txt.bak", false},
      {"dir/*", "dir/a.txt", true},
      {"dir/*", "dir/sub/a.txt", false},
      {"dir/*", "other/a.txt", false},
      {"DIR/*.TXT", "dir\\x.txt", true},
      {"?.txt", "a.txt", true},
      {"?.txt", "ab.txt", false},
      {"?.txt", "\xC3\xA9.txt", true},  // '?' is one character, not one byte
      {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},
      {"**x", "abx", true},
      {"*a", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(zevlib::TargetPattern(c.pattern).Matches(c.entry), c.matches)
        << c.pattern << " vs " << c.entry;
  }
}

TEST(TargetPatternTest, WildcardsInFoldersAndEmptyNamesAreIllegal) {
  for (const char* pattern : {"", "*/a.txt", "d?r/a.txt", "a/*\\b", "a*/"}) {
    try {
      zevlib::TargetPattern{pattern};
      ADD_FAILURE() << pattern;
    } catch (const zevlib::ZipError& error) {
      EXPECT_EQ(error.code(), ZEV_ERROR_ILLEGAL_WILDCARD_PATH) << pattern;
    }
  }
}

}  // namespace
}  // namespace zevtest
