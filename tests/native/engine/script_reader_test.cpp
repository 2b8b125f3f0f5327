#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "setup/engine/script_lists.h"
#include "setup/platform/error.h"
#include "setup/platform/sim/sim_file_system.h"
#include "test_script.h"
#include "support/temp_folder.h"

namespace zev {
namespace {

// One part of the file: its lines and whether it is a list ended by "$".
struct FilePart {
  std::vector<std::string> lines;
  bool list;
};

// Every part with content of its own, in file order.
const std::vector<FilePart>& FullParts() {
  static const std::vector<FilePart> parts = {
      {{"Set Variable", "Display Dialog", "Comment"}, true},
      {{"{00000000-0000-0000-0000-000000000001}", "{00000000-0000-0000-0000-000000000002}",
        "{00000000-0000-0000-0000-000000000003}"},
       true},
      {{"{00000000-0000-0000-0000-000000000001}", "GREETING", "", "FALSE",
        "{00000000-0000-0000-0000-000000000002}", "Welcome", "WIZARD"},
       true},
      {{"", "", "C"}, true},
      {{"{7C1A2B3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}"}, false},
      {{"TX880 Driver"}, false},
      {{"Call DLL Function", "(Un)Install MSI Setup"}, true},
      {{"Corvane", "support@corvane.example", "https://help", "https://update", "Comments", "1.2.3"},
       false},
      {{"offline", "KEY1", "Audio Drivers", "KEY2"}, true},
      {{"", "OFFLINE\\", ""}, true},
      {{"2"}, false},
      {{"VORN-PREDEF-COMPONENT", "297472"}, true},
      {{"{8D2B3C4E-5F60-4B7C-9D8E-0F1A2B3C4D5E}"}, false},
      {{"offline", "TX880Asio.dll", "bin"}, true},
      {{"TRUE"}, false},
      {{"German"}, false},
      {{"0A1B2C3D", "1"}, true},
      {{"LOCMODE", "NEWONLY", "TITLE", "TX880"}, true},
  };
  return parts;
}

// What the reader made of part p, in the shape of FilePart::lines.
std::vector<std::string> Observed(const ScriptLists& s, std::size_t part) {
  const auto& info = s.productInformation;
  switch (part) {
    case 0: return s.CommandNames;
    case 1: return s.CommandIds;
    case 2: return s.ParameterLines.List(0);
    case 3: return s.CommandFlags;
    case 4: return {s.productCode};
    case 5: return {s.productTitle};
    case 6: return s.PluginCommands.Items();
    case 7: return {info.company, info.supportContact, info.helpLink, info.updateInfoLink,
                    info.comments, info.version};
    case 8: return s.WebMediaKeys;
    case 9: return s.CommandMedia;
    case 10: return {std::to_string(s.mediaMode)};
    case 11: return s.ComponentSizes;
    case 12: return {s.revisionCode};
    case 13: return s.MediaFiles;
    case 14: return {s.languageDialogFlag};
    case 15: return {s.defaultLanguage};
    case 16: return s.CommandHeaders;
    case 17: return s.CompilerVariables;
  }
  ADD_FAILURE() << "no part " << part;
  return {};
}

// The shape of a script with nothing in it: empty lists, empty fixed lines.
std::vector<FilePart> EmptyParts() {
  std::vector<FilePart> parts;
  for (const auto& part : FullParts())
    parts.push_back({part.list ? std::vector<std::string>() : std::vector<std::string>(part.lines.size()),
                     part.list});
  return parts;
}

std::vector<std::string> FileLines(const std::vector<FilePart>& parts = FullParts()) {
  std::vector<std::string> lines;
  for (const auto& part : parts) {
    lines.insert(lines.end(), part.lines.begin(), part.lines.end());
    if (part.list) lines.push_back("$");
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines, std::size_t count, const char* eol) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += lines[i] + eol;
  return text;
}

std::string Text(const std::vector<FilePart>& parts) {
  auto lines = FileLines(parts);
  return Join(lines, lines.size(), "\r\n");
}

constexpr std::size_t kNames = 0, kIds = 1, kPlugins = 6, kMediaMode = 10, kCompilerVariables = 17;

class ScriptReaderTest : public ::testing::Test {
 protected:
  ScriptLists Read(const std::string& content) {
    files.WriteText(path, content);
    return ReadScript(files, path);
  }

  testing::TempFolder host;
  sim::SimFileSystem files{host.path()};
  const std::string path = R"(C:\Temp\zev.tmp)";
};

TEST_F(ScriptReaderTest, ReadsEveryPartInOrder) {
  auto lines = FileLines();
  for (const char* eol : {"\r\n", "\n"}) {
    ScriptLists script = Read(Join(lines, lines.size(), eol));
    for (std::size_t p = 0; p < FullParts().size(); ++p)
      EXPECT_EQ(Observed(script, p), FullParts()[p].lines) << "part " << p + 1 << " eol " << eol[0];
    EXPECT_EQ(script.mediaMode, 2);
    EXPECT_EQ(script.ParameterLines.Count(), 1u);
    EXPECT_EQ(script.CommandCount(), 3u);
    EXPECT_TRUE(script.LanguageDialogWanted());
  }
}

// Cut the file after every line: parts before the cut are whole, the part it falls in keeps
// what it got, and every later part is empty.
TEST_F(ScriptReaderTest, FileEndingEarlyEndsTheListAndEmptiesLaterParts) {
  auto lines = FileLines();
  for (std::size_t cut = 0; cut <= lines.size(); ++cut) {
    ScriptLists script = ParseScript(Join(lines, cut, "\r\n"));
    std::size_t start = 0;
    for (std::size_t p = 0; p < FullParts().size(); ++p) {
      const FilePart& part = FullParts()[p];
      std::size_t got = cut > start ? std::min(cut - start, part.lines.size()) : 0;
      std::vector<std::string> expected(part.lines.begin(), part.lines.begin() + got);
      if (!part.list) expected.resize(part.lines.size(), p == 10 ? "0" : "");
      EXPECT_EQ(Observed(script, p), expected) << "cut after " << cut << " lines, part " << p + 1;
      start += part.lines.size() + (part.list ? 1 : 0);
    }
  }
}

TEST_F(ScriptReaderTest, LastLineWithoutLineEndIsRead) {
  ScriptLists script = ParseScript("If\r\nEnd");
  EXPECT_EQ(script.CommandNames, (std::vector<std::string>{"If", "End"}));
  EXPECT_TRUE(script.CommandIds.empty());
}

TEST_F(ScriptReaderTest, OnlyAWholeDollarLineEndsAList) {
  ScriptLists script = ParseScript("A\r\n $\r\n$ \r\n$$\r\n\r\n$\r\nB\r\n$\r\n");
  EXPECT_EQ(script.CommandNames, (std::vector<std::string>{"A", " $", "$ ", "$$", ""}));
  EXPECT_EQ(script.CommandIds, (std::vector<std::string>{"B"}));
}

TEST_F(ScriptReaderTest, DollarWordsInParameterLinesBecomeADollar) {
  struct Case {
    std::string line;
    std::string read;
  };
  const Case cases[] = {
      {"$DOLLAR$", "$"},           {"$WILD_DOLLAR$", "$"},       {"x$DOLLAR$", "x$DOLLAR$"},
      {"$DOLLAR$ ", "$DOLLAR$ "},  {"$dollar$", "$dollar$"},     {"$DOLLAR$$DOLLAR$", "$DOLLAR$$DOLLAR$"},
      {"$WILD_DOLLAR$x", "$WILD_DOLLAR$x"},
  };
  for (const auto& c : cases) {
    ScriptLists script = testing::TestScript({{"Set Variable", {"NAME", c.line}}});
    EXPECT_EQ(script.GetParameter(0, 2), c.read) << c.line;
  }
}

TEST_F(ScriptReaderTest, DollarWordsElsewhereStayAsWritten) {
  auto parts = EmptyParts();
  parts[kNames].lines = {"$DOLLAR$"};
  parts[kIds].lines = {"$WILD_DOLLAR$"};
  parts[kCompilerVariables].lines = {"NAME", "$DOLLAR$"};
  ScriptLists script = ParseScript(Text(parts));
  EXPECT_EQ(script.CommandNames, (std::vector<std::string>{"$DOLLAR$"}));
  EXPECT_EQ(script.CommandIds, (std::vector<std::string>{"$WILD_DOLLAR$"}));
  EXPECT_EQ(script.CompilerVariables, (std::vector<std::string>{"NAME", "$DOLLAR$"}));
}

TEST_F(ScriptReaderTest, MediaModeIsADecimalNumberOrZero) {
  struct Case {
    std::string line;
    int mode;
  };
  const Case cases[] = {{"1", 1}, {"3", 3}, {"+2", 2}, {"-1", -1}, {"", 0}, {"two", 0},
                        {" 2", 0}, {"2 ", 0}, {"0x2", 0}, {"+-2", 0}, {"99999999999", 0}};
  for (const auto& c : cases) {
    auto parts = EmptyParts();
    parts[kMediaMode].lines = {c.line};
    EXPECT_EQ(ParseScript(Text(parts)).mediaMode, c.mode) << '"' << c.line << '"';
  }
}

TEST_F(ScriptReaderTest, LanguageDialogOnlyForExactlyTrue) {
  for (const auto& [flag, wanted] :
       std::vector<std::pair<std::string, bool>>{{"TRUE", true}, {"True", false}, {"-1", false}, {"", false}}) {
    ScriptLists script;
    script.languageDialogFlag = flag;
    EXPECT_EQ(script.LanguageDialogWanted(), wanted) << flag;
  }
}

TEST_F(ScriptReaderTest, PluginCommandsAreFoundIgnoringCase) {
  auto parts = EmptyParts();
  parts[kPlugins].lines = {"Call DLL Function", "(Un)Install MSI Setup"};
  ScriptLists script = ParseScript(Text(parts));
  EXPECT_TRUE(script.IsPluginCommand("call dll function"));
  EXPECT_TRUE(script.IsPluginCommand("(UN)INSTALL MSI SETUP"));
  EXPECT_FALSE(script.IsPluginCommand("Call DLL"));
  EXPECT_FALSE(script.IsPluginCommand(""));
  EXPECT_EQ(script.PluginCommands.IndexOf("CALL DLL FUNCTION"), 0u);
}

TEST_F(ScriptReaderTest, PerCommandLookupPastTheEndThrows) {
  // The file ended inside part 2: one command has no identifier and no flag.
  ScriptLists script = ParseScript("If\r\nEnd\r\n$\r\n{ID}\r\n");
  EXPECT_EQ(script.CommandId(0), "{ID}");
  EXPECT_THROW(script.CommandId(1), Error);
  EXPECT_THROW(script.CommandFlag(0), Error);
  EXPECT_THROW(script.CommandMediaOf(0), Error);
  EXPECT_THROW(script.CommandName(2), Error);
  EXPECT_THROW(script.GetParameter(1, 0), Error);
  EXPECT_EQ(script.GetParameter(0, 0), "");  // no parameter block
}

TEST_F(ScriptReaderTest, MissingFileThrows) {
  EXPECT_THROW(ReadScript(files, R"(C:\Temp\none.tmp)"), Error);
}

TEST_F(ScriptReaderTest, ReadsTheSampleScript) {
  std::string source = __FILE__;
  source.erase(source.rfind("tests/native/engine/"));
  std::FILE* sample = std::fopen((source + "package/sample/setup.script").c_str(), "rb");
  ASSERT_NE(sample, nullptr);
  std::string text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, sample)) > 0;) text.append(buffer, got);
  std::fclose(sample);

  ScriptLists script = Read(text);
  EXPECT_EQ(script.CommandNames, (std::vector<std::string>{"Set Variable", "Display Dialog", "Comment"}));
  EXPECT_EQ(script.GetParameter(0, 1), "GREETING");
  EXPECT_EQ(script.GetParameter(1, 1), "Welcome");
  EXPECT_EQ(script.productTitle, "TX880 Sample");
  EXPECT_EQ(script.productInformation.company, "Corvane");
  EXPECT_EQ(script.productInformation.version, "1.0.0");
  EXPECT_EQ(script.mediaMode, 1);
  EXPECT_EQ(script.ComponentSizes, (std::vector<std::string>{"VORN-PREDEF-COMPONENT", "0"}));
  EXPECT_EQ(script.defaultLanguage, "English");
  EXPECT_EQ(script.CompilerVariables, (std::vector<std::string>{"TITLE", "TX880 Sample"}));
}

}  // namespace
}  // namespace zev
