#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "setup/engine/folded_text.h"
#include "setup/engine/parameter_lists.h"
#include "setup/engine/script_lists.h"
#include "setup/platform/text_util.h"
#include "test_script.h"

namespace zev {
namespace {

using Lines = std::vector<std::string>;

TEST(GetParameterTest, FindsTheBlockOfTheCommand) {
  ScriptLists script = testing::TestScript({
      {"Set Variable", {"COUNT", "5"}},
      {"End", {}},
      {"Display Dialog", {"welcome", "WIZARD", "TRUE", "", "TRUE", "FALSE"}},
      {"Comment", {"last"}},
  });
  struct Case {
    std::size_t command;
    int n;
    std::string expected;
  };
  const Case cases[] = {
      {0, 0, testing::TestCommandId(0)},
      {0, 1, "COUNT"},
      {0, 2, "5"},
      {0, 3, testing::TestCommandId(2)},  // a short block reads on into the next one
      {1, 0, ""},                         // no block: empty for every n
      {1, 1, ""},
      {2, 1, "welcome"},
      {2, 4, ""},  // an empty parameter line
      {2, 6, "FALSE"},
      {3, 1, "last"},
      {3, 2, ""},  // past the end of the list
      {3, 1000, ""},
      {2, -1, ""},
      {0, 2147483647, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(script.GetParameter(c.command, c.n), c.expected) << c.command << "/" << c.n;
}

TEST(GetParameterTest, IdentifierMatchesIgnoringCase) {
  ScriptLists script = ParseScript("A\r\n$\r\n{abc-def}\r\n$\r\n{ABC-DEF}\r\np1\r\n$\r\n");
  EXPECT_EQ(script.GetParameter(0, 1), "p1");
  // n = 0 gives the header line as the parameter lines hold it.
  EXPECT_EQ(script.GetParameter(0, 0), "{ABC-DEF}");
}

TEST(ParameterListsTest, FirstListHoldingTheIdentifierWins) {
  ParameterLists lists;
  lists.Add({"{A}", "a1", "{B}", "b1"});
  lists.Add({"{B}", "other", "{C}", "c1"});
  EXPECT_EQ(lists.Lookup("{B}", 1), "b1");
  EXPECT_EQ(lists.Lookup("{C}", 1), "c1");
  EXPECT_EQ(lists.Lookup("{C}", 2), "");  // never continues into another list
  EXPECT_EQ(lists.Lookup("{A}", 4), "");
  EXPECT_EQ(lists.Lookup("{A}", 3), "b1");
  ASSERT_TRUE(lists.Find("{c}").has_value());
  EXPECT_EQ(lists.Find("{c}")->list, 1u);
  EXPECT_EQ(lists.Find("{c}")->line, 2u);
  EXPECT_FALSE(lists.Find("{D}").has_value());
}

TEST(ParameterListsTest, IdentifierEarlierAsAnOrdinaryLineIsFoundThere) {
  // The second block header also appears as a parameter value of the first block.
  ParameterLists lists;
  lists.Add({"{A}", "{b}", "x", "{B}", "b1"});
  EXPECT_EQ(lists.Lookup("{B}", 0), "{b}");
  EXPECT_EQ(lists.Lookup("{B}", 1), "x");
  EXPECT_EQ(lists.Find("{B}")->line, 1u);
}

TEST(ParameterListsTest, ListsAddedLaterDoNotTakeOverEarlierLines) {
  ParameterLists lists;
  lists.Add({"{A}", "a1"});
  EXPECT_EQ(lists.Lookup("{B}", 1), "");
  lists.Add({"{a}", "shadow", "{B}", "b1"});
  EXPECT_EQ(lists.Lookup("{A}", 1), "a1");
  EXPECT_EQ(lists.Lookup("{B}", 1), "b1");
  EXPECT_EQ(lists.Count(), 2u);
}

TEST(ParameterListsTest, EmptyIdentifierFindsTheFirstEmptyLine) {
  ParameterLists lists;
  lists.Add({"{A}", "", "after"});
  EXPECT_EQ(lists.Lookup("", 1), "after");
}

TEST(ParameterListsTest, CopiesAndMovesKeepWorkingAfterTheOriginalIsGone) {
  std::optional<ParameterLists> original(std::in_place);
  original->Add({"{A}", "a1", "short"});
  original->Add({"{B}", "b1"});
  ParameterLists copy(*original);
  ParameterLists assigned;
  assigned = *original;
  ParameterLists moved(std::move(*original));
  original.reset();
  for (const ParameterLists* lists : {&copy, &assigned, &moved}) {
    EXPECT_EQ(lists->Lookup("{a}", 2), "short");
    EXPECT_EQ(lists->Lookup("{B}", 1), "b1");
  }
}

// Eight bytes are folded at once: every byte value, at every place in a word and in the tail,
// must fold as FoldAscii folds it, and texts that fold alike must hash alike.
TEST(FoldedTextTest, AgreesWithFoldingLetterByLetter) {
  const FoldedEqual equal;
  const FoldedHash hash;
  for (std::size_t place : {0u, 5u, 7u, 8u, 12u}) {
    std::string a(13, 'k'), b(13, 'K');
    for (int x = 0; x < 256; ++x) {
      for (int y = 0; y < 256; ++y) {
        a[place] = static_cast<char>(x);
        b[place] = static_cast<char>(y);
        const bool same = FoldAscii(a[place]) == FoldAscii(b[place]);
        ASSERT_EQ(equal(a, b), same) << place << " " << x << " " << y;
        if (same) {
          ASSERT_EQ(hash(a), hash(b)) << place << " " << x << " " << y;
        }
      }
    }
  }
  EXPECT_FALSE(equal("abc", "abcd"));
  EXPECT_NE(hash("a"), hash(std::string_view("a\0", 2)));  // the tail is zero-padded
}

// The plain scan the index stands in for.
std::string ScanLookup(const std::vector<Lines>& lists, const std::string& identifier, int n) {
  for (const auto& list : lists)
    for (std::size_t line = 0; line < list.size(); ++line)
      if (EqualsIgnoreCase(list[line], identifier)) {
        if (n < 0 || line + static_cast<std::size_t>(n) >= list.size()) return "";
        return list[line + static_cast<std::size_t>(n)];
      }
  return "";
}

// Generated lists in which identifiers recur as headers and as ordinary lines, in other letter
// cases, in several lists and as empty lines; the index must give what the scan gives.
TEST(ParameterListsTest, IndexGivesTheSameAsTheScanOnGeneratedLists) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 200; ++round) {
    const int identifiers = 1 + static_cast<int>(random() % 12);
    auto pick = [&] {
      std::string id = "{id-" + std::to_string(random() % identifiers) + "-x}";
      return (random() % 4 == 0) ? ToUpperAscii(id) : id;
    };
    std::vector<Lines> plain;
    ParameterLists indexed;
    const int listCount = 1 + static_cast<int>(random() % 3);
    for (int l = 0; l < listCount; ++l) {
      Lines list;
      const int lines = static_cast<int>(random() % 25);
      for (int i = 0; i < lines; ++i) {
        switch (random() % 5) {
          case 0: case 1: list.push_back(pick()); break;
          case 2: list.push_back(""); break;
          default: list.push_back("value" + std::to_string(random() % 4)); break;
        }
      }
      plain.push_back(list);
      indexed.Add(list);
      // Check after every list added, so a later list never changes earlier answers.
      for (int id = 0; id <= identifiers; ++id) {
        for (std::string identifier : {"{id-" + std::to_string(id) + "-x}", std::string(), std::string("value1")})
          for (int n = -1; n <= 6; ++n)
            ASSERT_EQ(indexed.Lookup(identifier, n), ScanLookup(plain, identifier, n))
                << "round " << round << " list " << l << " identifier " << identifier << " n " << n;
      }
    }
  }
}

}  // namespace
}  // namespace zev
