#include "setup/startup/startup.h"

#include <gtest/gtest.h>

#include "setup/platform/error.h"
#include "setup/platform/sim/sim_machine.h"
#include "setup/platform/text_util.h"
#include "setup/startup/language_file.h"
#include "support/pe_image.h"
#include "support/temp_folder.h"
#include "zip_writer.h"

namespace zev {
namespace {

using Lines = std::vector<std::string>;

// A resource archive of stored entries, so a test can find an entry's bytes in it.
std::string ResourceArchive(const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<zevtest::TestEntry> entries;
  for (const auto& [name, data] : files)
    entries.push_back({.name = name, .data = data, .method = zevtest::Method::Stored});
  return zevtest::BuildZip(entries);
}

const Lines kGoodRunLog = {
    "<Kestrix>",
    "  <SetupSplash>",
    "    <StubSize>",
    "    </StubSize>",
    "    <StubData>",
    "    </StubData>",
    "    <GlobalLists>",
    "    </GlobalLists>",
    "    <SupportDir>",
    "    </SupportDir>",
    "    <ExtractArchive>",
    "    </ExtractArchive>",
    "    <ExtractResource>",
    "    </ExtractResource>",
    "    <ResourcePath>",
    "    </ResourcePath>",
    "    <Dialogs>",
    "    </Dialogs>",
    "  </SetupSplash>",
    "  <RunScript>",
    "  </RunScript>",
    "  <Free>",
    "  </Free>",
    "  <CachedSupportDir>",
    "  </CachedSupportDir>",
    "</Kestrix>",
};

// Lines up to and including the given one.
Lines LogUpTo(const std::string& last) {
  Lines lines;
  for (const auto& line : kGoodRunLog) {
    lines.push_back(line);
    if (line == last) break;
  }
  return lines;
}

// Records what start-up asked of the script engine and what the machine looked like then.
class RecordingScript : public ScriptHost {
 public:
  explicit RecordingScript(sim::SimMachine& machine) : machine_(machine) {}

  std::string scriptText;
  std::vector<DialogCommand> dialogs;
  std::vector<std::pair<std::string, std::string>> loadedDialogs;
  std::string poolFolder;
  StartupState stateAtRun;
  bool windowsClosedAtRun = false;
  bool ran = false;
  bool freed = false;
  std::string failWith;
  int exitCode = 0;

  void ReadScriptLists(const std::string& path) override { scriptText = machine_.files.ReadText(path); }
  std::vector<DialogCommand> DialogCommands() override { return dialogs; }
  void InitDialogPool(const std::string& folder) override { poolFolder = folder; }
  void LoadDialog(const std::string& file, const std::string& key) override {
    loadedDialogs.emplace_back(file, key);
  }
  void RunScript(StartupState& state, SetupLog&, const EngineMessages&) override {
    ran = true;
    stateAtRun = state;
    windowsClosedAtRun =
        machine_.ui.startupWindows.empty() || machine_.ui.startupWindows.back().closed;
    if (!failWith.empty()) throw Error(failWith);
    state.exitCode = exitCode;
  }
  void FreeScriptLists() override { freed = true; }

 private:
  sim::SimMachine& machine_;
};

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    machine.system.executablePath = R"(C:\Setup\setup.exe)";
    CommandLine("/l=C:\\Logs\\setup.log");
    WriteProgram("script text\r\n$\r\n");
    machine.files.WriteText(R"(C:\Setup\setup.res)",
                            ResourceArchive({{"Welcome.dfm", "object Welcome: TForm end"},
                                                {"licence.txt", "licence"}}));
    machine.files.WriteText(R"(C:\Setup\setup.msi)", "database");
  }

  void CommandLine(const std::string& arguments) {
    machine.system.commandLine = "\"C:\\Setup\\setup.exe\" " + arguments;
  }
  void WriteProgram(const std::string& appended) {
    machine.files.WriteText(R"(C:\Setup\setup.exe)", testing::PeImage({{0x400, 0x600}}) + appended);
  }

  int Run() {
    Startup startup(machine.platform, script);
    return startup.Run();
  }

  Lines LogLines() {
    std::string bytes = machine.files.ReadText(R"(C:\Logs\setup.log)");
    EXPECT_EQ(bytes.size() % 2, 0u);
    std::string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      EXPECT_EQ(bytes[i + 1], '\0') << "non-ASCII unit at " << i;
      text += bytes[i];
    }
    EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
    Lines lines = SplitLines(text);
    return lines;
  }

  std::string Temp() { return WithTrailingBackslash(machine.system.Profile().tempFolder); }

  testing::TempFolder host;
  sim::SimMachine machine{host.path()};
  RecordingScript script{machine};
};

TEST_F(StartupTest, GoodLayoutRunsTheScriptAndCleansUp) {
  machine.files.SetNormalAttributes(R"(C:\Setup\setup.msi)");
  std::filesystem::permissions(machine.files.HostPath(R"(C:\Setup\setup.msi)"),
                               std::filesystem::perms::owner_read);
  script.exitCode = 0;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(LogLines(), kGoodRunLog);

  EXPECT_EQ(script.scriptText, "script text\r\n$\r\n");
  EXPECT_FALSE(machine.files.FileExists(Temp() + "zev.tmp"));
  EXPECT_TRUE(script.ran);
  EXPECT_TRUE(script.freed);
  EXPECT_TRUE(script.windowsClosedAtRun);

  const StartupState& state = script.stateAtRun;
  EXPECT_EQ(state.exeDir, R"(C:\Setup\)");
  EXPECT_EQ(state.exeBaseName, "setup");
  EXPECT_EQ(state.tempDir, Temp());
  EXPECT_EQ(state.supportDir, Temp() + "zev1\\");
  EXPECT_EQ(state.dataDir, R"(C:\Setup\data\)");
  EXPECT_EQ(state.resourceArchivePath, R"(C:\Setup\setup.res)");
  EXPECT_EQ(state.commandLine.logPath, R"(c:\logs\setup.log)");
  EXPECT_EQ(script.poolFolder, state.supportDir);

  // The support folder was filled for the run and is gone after it.
  EXPECT_FALSE(machine.files.FolderExists(state.supportDir));
  EXPECT_TRUE(machine.files.FolderExists(Temp()));
  EXPECT_TRUE(machine.system.pinnedToFirstProcessor);
  EXPECT_TRUE(machine.ui.messages.empty());
}

TEST_F(StartupTest, SupportFolderHoldsResourcesAndWritableDatabaseDuringTheRun) {
  class Inspect : public RecordingScript {
   public:
    using RecordingScript::RecordingScript;
    sim::SimMachine* machine = nullptr;
    Lines seen;
    void RunScript(StartupState& state, SetupLog&, const EngineMessages&) override {
      for (const auto& entry : machine->files.ListFolder(state.supportDir)) seen.push_back(entry.name);
      std::sort(seen.begin(), seen.end());
      auto perms = std::filesystem::status(machine->files.HostPath(state.supportDir + "setup.msi")).permissions();
      EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
    }
  } inspect(machine);
  inspect.machine = &machine;
  std::filesystem::permissions(machine.files.HostPath(R"(C:\Setup\setup.msi)"),
                               std::filesystem::perms::owner_read);
  Startup startup(machine.platform, inspect);
  EXPECT_EQ(startup.Run(), 0);
  EXPECT_EQ(inspect.seen, (Lines{"Welcome.dfm", "licence.txt", "setup.msi"}));
}

TEST_F(StartupTest, ScriptExitCodeIsTheProcessExitCode) {
  script.exitCode = 1603;
  EXPECT_EQ(Run(), 1603);
  EXPECT_EQ(LogLines().back(), "</Kestrix>");
}

TEST_F(StartupTest, PatchOnlyPackageCopiesThePatch) {
  machine.files.RemoveFile(R"(C:\Setup\setup.msi)");
  machine.files.WriteText(R"(C:\Setup\setup.msp)", "patch");
  class Inspect : public RecordingScript {
   public:
    using RecordingScript::RecordingScript;
    sim::SimMachine* machine = nullptr;
    bool patch = false, database = false;
    void RunScript(StartupState& state, SetupLog&, const EngineMessages&) override {
      patch = machine->files.FileExists(state.supportDir + "setup.msp");
      database = machine->files.FileExists(state.supportDir + "setup.msi");
    }
  } inspect(machine);
  inspect.machine = &machine;
  Startup startup(machine.platform, inspect);
  EXPECT_EQ(startup.Run(), 0);
  EXPECT_TRUE(inspect.patch);
  EXPECT_FALSE(inspect.database);
}

struct FailureCase {
  const char* name;
  std::function<void(sim::SimMachine&)> damage;
  int exitCode;
  const char* message;
  const char* lastLogLine;
  bool supportFolderLeft;
};

class StartupFailureTest : public StartupTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartupFailureTest, EndsAtOnceWithItsCodeAndMessage) {
  const FailureCase& c = GetParam();
  c.damage(machine);

  EXPECT_EQ(Run(), c.exitCode);
  EXPECT_EQ(LogLines(), LogUpTo(c.lastLogLine));
  ASSERT_EQ(machine.ui.messages.size(), 1u);
  EXPECT_EQ(machine.ui.messages[0].text, c.message);
  EXPECT_EQ(machine.ui.messages[0].caption, "Kestrix Wizard");
  EXPECT_EQ(machine.ui.messages[0].owner, sim::SimUserInterface::kPreparationHandle);
  EXPECT_EQ(machine.files.FolderExists(Temp() + "zev1"), c.supportFolderLeft);
  EXPECT_FALSE(script.ran);
}

TEST_P(StartupFailureTest, SilentModeShowsNothing) {
  const FailureCase& c = GetParam();
  c.damage(machine);
  CommandLine("/S /l=C:\\Logs\\setup.log");
  EXPECT_EQ(Run(), c.exitCode);
  EXPECT_TRUE(machine.ui.messages.empty());
  EXPECT_TRUE(machine.ui.startupWindows.empty());
}

TEST_P(StartupFailureTest, UpdateSwitchShowsTheMessageWithoutOwner) {
  const FailureCase& c = GetParam();
  c.damage(machine);
  CommandLine("/update /l=C:\\Logs\\setup.log");
  EXPECT_EQ(Run(), c.exitCode);
  EXPECT_TRUE(machine.ui.startupWindows.empty());
  ASSERT_EQ(machine.ui.messages.size(), 1u);
  EXPECT_EQ(machine.ui.messages[0].owner, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, StartupFailureTest,
    ::testing::Values(
        FailureCase{"NothingAppended",
                    [](sim::SimMachine& m) {
                      m.files.WriteText(R"(C:\Setup\setup.exe)", testing::PeImage({{0x400, 0x600}}));
                    },
                    13, "For internal use only", "    <StubSize>", false},
        FailureCase{"ResourceMissing",
                    [](sim::SimMachine& m) { m.files.RemoveFile(R"(C:\Setup\setup.res)"); }, 14,
                    "Setup resource not found", "    <ExtractArchive>", true},
        FailureCase{"ResourceDamaged",
                    [](sim::SimMachine& m) {
                      std::string zip = m.files.ReadText(R"(C:\Setup\setup.res)");
                      m.files.WriteText(R"(C:\Setup\setup.res)", zip.substr(0, zip.size() / 2));
                    },
                    15, "Setup resource decompression failure", "    <ExtractArchive>", true},
        FailureCase{"ResourceEntryCorrupted",
                    [](sim::SimMachine& m) {
                      std::string zip = m.files.ReadText(R"(C:\Setup\setup.res)");
                      zip[zip.find("object Welcome")] ^= 0x20;  // the CRC no longer matches
                      m.files.WriteText(R"(C:\Setup\setup.res)", zip);
                    },
                    15, "Setup resource decompression failure", "    <ExtractArchive>", true},
        FailureCase{"DatabaseMissing",
                    [](sim::SimMachine& m) { m.files.RemoveFile(R"(C:\Setup\setup.msi)"); }, 16,
                    "Setup database not found", "    <ExtractResource>", true}),
    [](const auto& info) { return info.param.name; });

TEST_F(StartupTest, RuntimeErrorIsReportedWithoutOwnerAndCleanedUp) {
  script.failWith = "Access violation at address 0040F00D";
  EXPECT_EQ(Run(), 11);
  ASSERT_EQ(machine.ui.messages.size(), 1u);
  EXPECT_EQ(machine.ui.messages[0].text, "Runtime error in install: Access violation at address 0040F00D");
  EXPECT_EQ(machine.ui.messages[0].owner, 0u);
  Lines expected = LogUpTo("  <RunScript>");
  expected.insert(expected.end(), {"  <CachedSupportDir>", "  </CachedSupportDir>", "</Kestrix>"});
  EXPECT_EQ(LogLines(), expected);
  EXPECT_FALSE(machine.files.FolderExists(Temp() + "zev1"));
}

TEST_F(StartupTest, UnreadableProgramIsARuntimeError) {
  // The program file vanished after the loader mapped it.
  std::string image = machine.files.ReadText(R"(C:\Setup\setup.exe)");
  machine.files.WriteText(R"(C:\Setup\image.exe)", image);
  // The loader maps image.exe, but the path the program reads is missing.
  class MovedLibraries : public platform::Libraries {
   public:
    explicit MovedLibraries(sim::SimLibraries& real) : real_(real) {}
    std::unique_ptr<platform::LoadedModule> LoadFromPath(const std::string& p) override { return real_.LoadFromPath(p); }
    std::unique_ptr<platform::LoadedModule> ProgramModule() override { return real_.LoadFromPath(R"(C:\Setup\image.exe)"); }
   private:
    sim::SimLibraries& real_;
  } moved(machine.libraries);
  machine.files.RemoveFile(R"(C:\Setup\setup.exe)");
  platform::Platform platform{machine.files,    machine.system,   machine.ui,
                              machine.archives, moved,            machine.registry,
                              machine.machine,  machine.installer};
  Startup startup(platform, script);
  EXPECT_EQ(startup.Run(), 11);
  ASSERT_EQ(machine.ui.messages.size(), 1u);
  EXPECT_TRUE(machine.ui.messages[0].text.starts_with("Runtime error in install: Cannot open file C:\\Setup\\setup.exe"))
      << machine.ui.messages[0].text;
  EXPECT_EQ(LogLines().back(), "</Kestrix>");
}

TEST_F(StartupTest, DialogsArePreloadedUnderTheirCommandIndex) {
  script.dialogs = {{0, "Welcome"}, {3, "Finish"}, {7, "Licence"}};
  EXPECT_EQ(Run(), 0);
  std::string support = Temp() + "zev1\\";
  EXPECT_EQ(script.loadedDialogs,
            (std::vector<std::pair<std::string, std::string>>{
                {support + "Welcome.dfm", "0"}, {support + "Finish.dfm", "3"}, {support + "Licence.dfm", "7"}}));
  ASSERT_EQ(machine.ui.startupWindows.size(), 1u);
  const auto& windows = machine.ui.startupWindows[0];
  EXPECT_EQ(windows.progressMin, 0);
  EXPECT_EQ(windows.progressMax, 3);
  EXPECT_EQ(windows.progressPosition, 3);  // starts at 1, then one step per dialog up to the end
  EXPECT_TRUE(windows.closed);
}

std::string Bitmap(int width, int height) {
  std::string bytes(54, '\0');
  bytes[0] = 'B';
  bytes[1] = 'M';
  auto put = [&bytes](std::size_t at, int value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(14, 40);
  put(18, width);
  put(22, height);
  return bytes;
}

TEST_F(StartupTest, WindowPlacement) {
  struct Case {
    platform::Size screen;
    std::optional<std::string> bitmap;
    std::optional<platform::Point> splashAt;
    platform::Point preparationAt;
  } cases[] = {
      // Below the splash, then clamped to the bottom edge.
      {{1024, 768}, Bitmap(600, 400), platform::Point{212, 184}, {562, 768 - 45 - 117}},
      {{1280, 1024}, Bitmap(600, -300), platform::Point{340, 362}, {340 + 300 + 50, 362 + 300 + 25}},
      // Clamped to the right edge as well.
      {{800, 600}, Bitmap(600, 400), platform::Point{100, 100}, {800 - 25 - 375, 600 - 45 - 117}},
      {{1024, 768}, std::nullopt, std::nullopt, {(1024 - 375) / 2, (768 - 117) / 2}},
      // A file that is no bitmap is as good as none.
      {{1024, 768}, std::string("BM garbage"), std::nullopt, {(1024 - 375) / 2, (768 - 117) / 2}},
  };
  for (const auto& c : cases) {
    sim::SimMachine fresh(host.path() / ("case" + std::to_string(&c - cases)));
    fresh.system.executablePath = machine.system.executablePath;
    fresh.system.commandLine = machine.system.commandLine;
    for (const char* file : {"setup.exe", "setup.res", "setup.msi"})
      fresh.files.WriteText(std::string(R"(C:\Setup\)") + file,
                            machine.files.ReadText(std::string(R"(C:\Setup\)") + file));
    if (c.bitmap) fresh.files.WriteText(R"(C:\Setup\setup.bmp)", *c.bitmap);
    fresh.ui.screen = c.screen;
    AbsentScriptEngine none;
    Startup startup(fresh.platform, none);
    EXPECT_EQ(startup.Run(), 0);
    ASSERT_EQ(fresh.ui.startupWindows.size(), 1u);
    const auto& windows = fresh.ui.startupWindows[0];
    EXPECT_EQ(windows.splashAt, c.splashAt) << "case " << (&c - cases);
    EXPECT_EQ(windows.preparationAt, c.preparationAt) << "case " << (&c - cases);
    EXPECT_EQ(windows.texts.caption, "Kestrix Wizard");
    EXPECT_EQ(windows.texts.message,
              "Kestrix is preparing the Kestrix Wizard which will install this application. Please wait.");
    EXPECT_GT(windows.repaints, 0);
  }
}

TEST_F(StartupTest, PreparationImageFollowsTheWindowsVersion) {
  struct Case {
    platform::OsVersion version;
    bool newStyle;
  } cases[] = {{{5, 0, 2195, true}, false}, {{5, 1, 2600, true}, true}, {{6, 0, 6002, true}, true},
               {{4, 10, 2222, false}, false}};
  for (const auto& c : cases) {
    machine.system.Profile().version = c.version;
    machine.ui.startupWindows.clear();
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(machine.ui.startupWindows.size(), 1u);
    EXPECT_EQ(machine.ui.startupWindows[0].texts.newStyleImage, c.newStyle) << c.version.major << "." << c.version.minor;
  }
}

TEST_F(StartupTest, LanguagePayloadOfTheArchiveLibraryTranslatesStartup) {
  std::string block;
  for (int n = 1; n <= 115; ++n) block += "Deutsch " + std::to_string(n) + "\r\n";
  machine.files.WriteText(R"(C:\Setup\zev.lib)", testing::PeImage({{0x400, 0x200}}) + block);
  machine.files.RemoveFile(R"(C:\Setup\setup.res)");
  EXPECT_EQ(Run(), 14);
  ASSERT_EQ(machine.ui.startupWindows.size(), 1u);
  EXPECT_EQ(machine.ui.startupWindows[0].texts.caption, "Deutsch 23");
  EXPECT_EQ(machine.ui.messages.at(0).text, "Deutsch 2");
  EXPECT_FALSE(machine.files.FileExists(Temp() + "lang.loc"));
}

TEST_F(StartupTest, ArchiveLibraryWithoutPayloadKeepsEnglish) {
  machine.files.WriteText(R"(C:\Setup\zev.lib)", testing::PeImage({{0x400, 0x200}}));
  machine.files.RemoveFile(R"(C:\Setup\setup.res)");
  EXPECT_EQ(Run(), 14);
  EXPECT_EQ(machine.ui.messages.at(0).text, "Setup resource not found");
  EXPECT_FALSE(machine.files.FileExists(Temp() + "lang.loc"));
}

TEST_F(StartupTest, MissingTempFolderIsCreatedAndNumberedFoldersSkipped) {
  machine.system.Profile().tempFolder = R"(C:\Fresh\Temp)";
  machine.files.CreateFolders(R"(C:\Fresh\Temp\zev1)");
  machine.files.CreateFolders(R"(C:\Fresh\Temp\zev3)");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(script.stateAtRun.tempDir, R"(C:\Fresh\Temp\)");
  EXPECT_EQ(script.stateAtRun.supportDir, R"(C:\Fresh\Temp\zev2\)");
  EXPECT_TRUE(machine.files.FolderExists(R"(C:\Fresh\Temp\zev1)"));
  EXPECT_FALSE(machine.files.FolderExists(R"(C:\Fresh\Temp\zev2)"));
}

TEST_F(StartupTest, WithoutLogSwitchNoLogIsWritten) {
  CommandLine("");
  EXPECT_EQ(Run(), 0);
  EXPECT_FALSE(machine.files.FolderExists(R"(C:\Logs)"));
}

TEST_F(StartupTest, Windows9xLogIsAnsi) {
  machine.system.Profile() = sim::OsProfile::Windows98();
  EXPECT_EQ(Run(), 0);
  std::string text = machine.files.ReadText(R"(C:\Logs\setup.log)");
  EXPECT_TRUE(text.starts_with("<Kestrix>\r\n  <SetupSplash>\r\n"));
  EXPECT_TRUE(text.ends_with("</Kestrix>\r\n"));
}

}  // namespace
}  // namespace zev
