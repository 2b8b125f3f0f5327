#include "setup/startup/language_file.h"

#include <gtest/gtest.h>

#include "setup/platform/sim/sim_file_system.h"
#include "setup/platform/sim/sim_system_info.h"
#include "support/temp_folder.h"

namespace zev {
namespace {

// A language block whose every line names the language and the line number.
std::string Block(const std::string& language) {
  std::string text;
  for (std::size_t n = 1; n <= EngineMessages::kCount; ++n)
    text += language + " " + std::to_string(n) + "\r\n";
  return text;
}

class LanguageFileTest : public ::testing::Test {
 protected:
  std::string Load(const std::string& content, int userLanguage) {
    files.WriteText(path, content);
    system.Profile().userLanguage = userLanguage;
    LoadLanguageFile(files, system, path, messages);
    return messages.Get(Msg::ResourceNotFound);
  }

  testing::TempFolder host;
  sim::SimFileSystem files{host.path()};
  sim::SimSystemInfo system{sim::OsProfile::WindowsXp()};
  EngineMessages messages;
  const std::string path = R"(C:\Temp\lang.loc)";
};

TEST_F(LanguageFileTest, BuiltInTextsAreTheEnglishOnes) {
  EXPECT_EQ(messages.Get(1), "Please install the common controls update from Microsoft before "
                             "attempting to install this product.");
  EXPECT_EQ(messages.Get(Msg::WizardCaption), "Kestrix Wizard");
  EXPECT_EQ(messages.Get(Msg::RuntimeErrorInInstall), "Runtime error in install: ");
  EXPECT_EQ(messages.Get(54), "");
  EXPECT_EQ(messages.Get(90), "Please select the language to use during the installation:");
  EXPECT_EQ(messages.Get(115), "Entire feature will be &unavailable");
  EXPECT_EQ(messages.Get(0), "");
  EXPECT_EQ(messages.Get(116), "");
}

TEST_F(LanguageFileTest, BlockForTheUsersLanguageStays) {
  std::string file = Block("Default") + "English\r\n" + Block("English") + "German\n" + Block("German") +
                     "French\r\n" + Block("French");
  EXPECT_EQ(Load(file, 1031), "German 2");
}

TEST_F(LanguageFileTest, LanguageOutsideTheTableGoesThroughItsEnglishName) {
  std::string file = Block("Default") + "german\r\n" + Block("German") + "English\r\n" + Block("English");
  EXPECT_EQ(Load(file, 3079), "German 2");  // German (Austria)
  // English (United Kingdom) has no name of its own: the last block read stays.
  EXPECT_EQ(Load(file, 2057), "English 2");
}

TEST_F(LanguageFileTest, DefaultBlockAloneApplies) {
  EXPECT_EQ(Load(Block("Default"), 1031), "Default 2");
}

TEST_F(LanguageFileTest, IgnoredLinesKeepTheirBuiltInText) {
  Load(Block("Default"), 1033);
  EXPECT_EQ(messages.Get(90), "Default 90");
  EXPECT_EQ(messages.Get(91), "");
  EXPECT_EQ(messages.Get(111), "");
  EXPECT_EQ(messages.Get(112), "Default 112");
}

TEST_F(LanguageFileTest, DamagedFilesChangeNothingTheyCannotFill) {
  EXPECT_EQ(Load("", 1033), "Setup resource not found");
  EXPECT_EQ(Load(Block("Default").substr(0, 300), 1033), "Setup resource not found");
  // A block cut short by the end of the file is not used; the complete one before it is.
  std::string cut = Block("Default") + "German\r\n" + Block("German").substr(0, 500);
  EXPECT_EQ(Load(cut, 1031), "Default 2");
  EXPECT_EQ(messages.Get(115), "Default 115");

  EngineMessages fresh;
  LoadLanguageFile(files, system, R"(C:\missing.loc)", fresh);
  EXPECT_EQ(fresh.Get(Msg::ResourceNotFound), "Setup resource not found");
}

TEST(LanguageNames, TableAndReverseMapping) {
  sim::SimSystemInfo system{sim::OsProfile::WindowsXp()};
  EXPECT_EQ(LanguageName(1031, system), "German");
  EXPECT_EQ(LanguageName(2070, system), "Portugese (Portugal)");
  EXPECT_EQ(LanguageName(3079, system), "German");
  EXPECT_EQ(LanguageName(2057, system), "");
  EXPECT_EQ(LanguageName(9999, system), "");
  EXPECT_EQ(LanguageIdFromName("cHINESE (prc)"), 2052);
  EXPECT_EQ(LanguageIdFromName("Klingon"), 1033);
}

}  // namespace
}  // namespace zev
