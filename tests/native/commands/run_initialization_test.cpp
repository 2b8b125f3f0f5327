// Scenario tests of the start and end of a run on simulated machines: first installation,
// maintenance, upgrade, the engine cache and the state file it keeps. Whole variable states are
// compared: each scenario names what differs from a first run on the same machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>

#include "command_harness.h"
#include "setup/engine/engine_state_file.h"
#include "setup/engine/variable_dump.h"
#include "setup/platform/text_util.h"

namespace zev::testing {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;

constexpr const char* kRevision = "{66666666-7777-4888-8999-AAAAAAAAAAAA}";
constexpr const char* kProduct = "{11111111-2222-4333-8444-555555555555}";
constexpr const char* kXpCommonData = R"(C:\Documents and Settings\All Users\Application Data\)";
constexpr const char* kXpUserLocalData = R"(C:\Documents and Settings\User\Local Settings\Application Data\)";

// The dump escapes backslashes; scenario values are written plainly.
std::string Escaped(const std::string& value) {
  std::string text;
  for (char c : value) {
    if (c == '\\')
      text += "\\\\";
    else if (c == '\r')
      text += "\\r";
    else if (c == '\n')
      text += "\\n";
    else
      text += c;
  }
  return text;
}

using Changes = std::map<std::string, std::optional<std::string>>;

// A dump with some variables changed, added or (nullopt) removed, in the dump's order.
std::string WithChanges(const std::string& dump, const Changes& changes) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);) {
    auto equals = line.find('=');
    lines.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  for (const auto& change : changes) {
    const std::string& name = change.first;
    const std::optional<std::string>& value = change.second;
    auto found = std::find_if(lines.begin(), lines.end(),
                              [&name](const auto& line) { return EqualsIgnoreCase(line.first, name); });
    if (!value) {
      if (found != lines.end()) lines.erase(found);
    } else if (found != lines.end()) {
      found->second = Escaped(*value);
    } else {
      lines.emplace_back(name, Escaped(*value));
    }
  }
  std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
    return ToUpperAscii(a.first) < ToUpperAscii(b.first);
  });
  std::string text;
  for (const auto& [name, value] : lines) text += name + "=" + value + "\n";
  return text;
}

std::string Dump(CommandHarness& h) { return DumpVariables(h.host.Store()); }

// A first run of the same script on a fresh machine of the same kind.
std::string FirstRunDump(const sim::OsProfile& profile, const std::vector<ScriptCommand>& commands,
                         const ScriptHeader& header = {}) {
  CommandHarness fresh(profile);
  fresh.Run(commands, header);
  return Dump(fresh);
}

EngineState InstalledState() {
  EngineState state;
  state.componentNames = {"VORN-PREDEF-COMPONENT", "Drivers", "Tools"};
  state.componentStates = {"TRUE", "TRUE", "FALSE"};
  state.hidden = {"Tools"};
  state.componentSizes = {"VORN-PREDEF-COMPONENT", "1000", "Drivers", "250", "Tools", "40"};
  state.targetDir = R"(D:\Audio\TX880\)";
  state.allUsers = "TRUE";
  state.startMenu = "TX880 Tools";
  state.dataDir = R"(C:\Setup\data\)";
  state.variables = {{"DRIVERMODE", "ASIO$NEWLINE$WDM"}};
  state.wow64Setting = "x64";
  return state;
}

void Install(CommandHarness& h, const std::string& packageCode) {
  sim::SimInstaller::Product product;
  product.properties["PackageCode"] = packageCode;
  h.machine.installer.AddProduct(kProduct, product);
}

void WriteState(CommandHarness& h, const std::string& path, const EngineState& state) {
  h.machine.files.CreateFolders(FolderOf(path));
  h.machine.files.WriteText(path, FormatEngineState(state));
}

// Records ENGINECACHE and UNINSTALLLINK as a command sees them.
struct CacheProbe {
  std::vector<std::string> seen;
  void Attach(CommandHarness& h) {
    h.AddProbe("Cache Probe", [this](ScriptRunner& run) {
      seen.push_back(run.Vars().GetVariable("ENGINECACHE") + "|" + run.Vars().GetVariable("UNINSTALLLINK"));
    });
  }
};

const std::string kStatePath = std::string(kXpCommonData) + kRevision + R"(\setup.dat)";

TEST(RunInitializationTest, FirstRunOnXpAsAdministrator) {
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  h.machine.system.dateText = "11.12.2026";
  h.machine.system.timeText = "14:10:57";
  h.Run({SetVar("A", "1")});
  const std::string cache = std::string(kXpCommonData) + kRevision + "\\";
  const std::string expected = WithChanges(
      "", {{"A", "1"},
           {"ABORT", "FALSE"},
           {"ADVERTISE", "FALSE"},
           {"ALLUSERS", "TRUE"},
           {"CMDLINE", ""},
           {"COMPANY", "Corvane"},
           {"COMPLETE", "TRUE"},
           {"COPYWEBLOCK", ""},
           {"DATADIR", R"(C:\Setup\data\)"},
           {"DATE", "11.12.2026"},
           {"ENGINECACHE", cache},
           {"EXEDIR", R"(C:\Setup\)"},
           {"EXEFILE", R"(C:\Setup\setup.exe)"},
           {"GPOPATH", ""},
           {"LANGUAGE", ""},
           {"LASTERROR", ""},
           {"LICENSE", "FALSE"},
           {"LOGGED", ""},
           {"MAINTENANCE", "FALSE"},
           {"MINIMUM", "FALSE"},
           {"MODIFY", "TRUE"},
           {"MSIFILE", R"(C:\Temp\zev1\setup.msi)"},
           {"NEEDSUPGRADE", "FALSE"},
           {"NEWINSTANCE", "FALSE"},
           {"NEWLINE", "\r\n"},
           {"PERSONALIZED", "FALSE"},
           {"PRODUCTCODE", kProduct},
           {"PROGRESS", "0"},
           {"PROGRESSMODE", ""},
           {"PROGRESSTEXT", ""},
           {"REBOOTCOMPUTER", "FALSE"},
           {"REBOOTNOW", "OK"},
           {"REMOVE", "FALSE"},
           {"REPAIR", "FALSE"},
           {"REVISIONCODE", kRevision},
           {"ROOTDIR", R"(C:\Setup\)"},
           {"RUNAPP", "TRUE"},
           {"SELECTED", "0"},
           {"SFXFILE", ""},
           {"SFXPATH", ""},
           {"SILENT", "FALSE"},
           {"STARTMENU", "TX880 Test"},
           {"SUPPORTDIR", R"(C:\Temp\zev1\)"},
           {"TARGETDIR", R"(C:\Program Files\TX880 Test\)"},
           {"TEMPDIR", R"(C:\Temp\)"},
           {"TIME", "14:10:57"},
           {"TITLE", "TX880 Test"},
           {"UNINSTALLLINK", cache + "setup.exe"},
           {"USERCOMPANY", "Corvane Audio"},
           {"USERNAME", "Ada Brandt"},
           {"VERSION", "1.0"},
           {"VORNLOGO", ""},
           {"VORN_COMPRESS_INSTALLER_CACHE", "TRUE"},
           {"VORN_DISABLE_ROLLBACK", "FALSE"},
           {"VORN_DISABLE_VISTA_RESTART_MANAGER", "FALSE"},
           {"VORN_thCancelled", "FALSE"},
           {"VORN_thFinished", "FALSE"},
           {"VORN_thMax", "100"},
           {"VORN_thMin", "0"},
           {"VORN_thProgress", "0"},
           {"VORN_thProgressText", ""},
           {"WINDOWHANDLE", "0"},
           {"WIZARD", "NEXT"}});
  EXPECT_EQ(Dump(h), expected);
  EXPECT_EQ(h.host.Session().components.Names(), std::vector<std::string>{"VORN-PREDEF-COMPONENT"});
  EXPECT_FALSE(h.machine.files.FileExists(kStatePath)) << "no installation, no state file";
}

TEST(RunInitializationTest, SecondRunRestoresTheInstalledState) {
  const std::vector<ScriptCommand> script = {SetVar("A", "1")};
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  Install(h, "{66666666-7777-4888-8999-aaaaaaaaaaaa}");  // package codes compare ignoring case
  WriteState(h, kStatePath, InstalledState());
  h.Run(script);

  EXPECT_EQ(Dump(h), WithChanges(FirstRunDump(sim::profiles::WindowsXpSp2Administrator(), script),
                                 {{"MAINTENANCE", "TRUE"},
                                  {"NEWINSTANCE", "TRUE"},  // the original setup, no instance file
                                  {"TARGETDIR", R"(D:\Audio\TX880\)"},
                                  {"STARTMENU", "TX880 Tools"},
                                  {"DRIVERMODE", "ASIO$NEWLINE$WDM"}}));
  const EngineSession& session = h.host.Session();
  EXPECT_EQ(session.components.States(), (std::vector<std::string>{"TRUE", "TRUE", "FALSE"}));
  EXPECT_EQ(session.components.HiddenList(), std::vector<std::string>{"Tools"});
  EXPECT_EQ(session.components.InstalledSize(), 1250);
  EXPECT_EQ(session.mode.TargetPlatform(), "x64");
  EXPECT_EQ(session.persistentVariables, std::vector<std::string>{"DRIVERMODE"});
}

TEST(RunInitializationTest, AMaintenanceRunWithoutItsCacheTargetsTheDefaultFolder) {
  const std::vector<ScriptCommand> script = {SetVar("A", "1")};
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  Install(h, kRevision);
  h.Run(script);
  EXPECT_EQ(Dump(h), WithChanges(FirstRunDump(sim::profiles::WindowsXpSp2Administrator(), script),
                                 {{"MAINTENANCE", "TRUE"}, {"NEWINSTANCE", "TRUE"}}));
}

TEST(RunInitializationTest, UpgradeAndInstanceFile) {
  const std::vector<ScriptCommand> script = {SetVar("A", "1")};
  const std::string baseline = FirstRunDump(sim::profiles::WindowsXpSp2Administrator(), script);
  {
    CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
    Install(h, "{00000000-0000-4000-8000-000000000001}");
    WriteState(h, std::string(kXpCommonData) + "{00000000-0000-4000-8000-000000000001}\\setup.dat",
               InstalledState());
    h.Run(script);
    EXPECT_EQ(Dump(h), WithChanges(baseline, {{"NEEDSUPGRADE", "TRUE"}, {"NEWINSTANCE", "TRUE"}}))
        << "the older revision's state is not this package's";
  }
  {
    // A cached copy carries its codes and title beside itself and is no new instance.
    CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
    Install(h, "{00000000-0000-4000-8000-000000000001}");
    h.machine.files.WriteText(R"(C:\Setup\instance.dat)",
                              "{AAAAAAAA-0000-4000-8000-000000000002}\r\n{BBBBBBBB-0000-4000-8000-000000000003}\r\nTX880 Second\r\n");
    h.Run(script);
    const std::string cache = std::string(kXpCommonData) + "{BBBBBBBB-0000-4000-8000-000000000003}\\";
    EXPECT_EQ(Dump(h), WithChanges(baseline, {{"PRODUCTCODE", "{AAAAAAAA-0000-4000-8000-000000000002}"},
                                              {"REVISIONCODE", "{BBBBBBBB-0000-4000-8000-000000000003}"},
                                              {"TITLE", "TX880 Second"},
                                              {"STARTMENU", "TX880 Second"},
                                              {"TARGETDIR", R"(C:\Program Files\TX880 Second\)"},
                                              {"ENGINECACHE", cache},
                                              {"UNINSTALLLINK", cache + "setup.exe"}}))
        << "another product code: nothing installed";
  }
}

TEST(RunInitializationTest, LimitedUserOnXpKeepsItsCacheInTheLocalApplicationData) {
  const std::vector<ScriptCommand> script = {SetVar("A", "1")};
  const std::string cache = std::string(kXpUserLocalData) + kRevision + "\\";
  CommandHarness h(sim::profiles::WindowsXpSp2LimitedUser());
  h.Run(script);
  EXPECT_EQ(Dump(h), WithChanges(FirstRunDump(sim::profiles::WindowsXpSp2Administrator(), script),
                                 {{"ALLUSERS", "FALSE"},
                                  {"TARGETDIR", R"(C:\Documents and Settings\User\TX880 Test\)"},
                                  {"ENGINECACHE", cache},
                                  {"UNINSTALLLINK", cache + "setup.exe"}}));
}

TEST(RunInitializationTest, ChangingAllUsersMovesTheCacheBeforeTheNextCommand) {
  CommandHarness h(sim::profiles::WindowsXpSp2LimitedUser());
  CacheProbe probe;
  probe.Attach(h);
  h.Run({{"Cache Probe", {}}, SetVar("ALLUSERS", "TRUE"), {"Cache Probe", {}}, SetVar("ALLUSERS", "0"),
         {"Cache Probe", {}}});
  const std::string user = std::string(kXpUserLocalData) + kRevision + "\\";
  const std::string machine = std::string(kXpCommonData) + kRevision + "\\";
  EXPECT_EQ(probe.seen, (std::vector<std::string>{user + "|" + user + "setup.exe",
                                                  machine + "|" + machine + "setup.exe",
                                                  user + "|" + user + "setup.exe"}));
}

// Cache roots, data folder and owner key on the other systems.
TEST(RunInitializationTest, OtherSystems) {
  struct Case {
    const char* label;
    sim::OsProfile profile;
    std::string mediaMode;
    Changes expected;  // against the first run on XP as administrator
  };
  const std::string vistaCache = std::string(R"(C:\ProgramData\)") + kRevision + "\\";
  const std::string win98Cache = std::string(R"(C:\Program Files\Common Files\)") + kRevision + "\\";
  const std::string x64Cache = vistaCache;
  const Case cases[] = {
      {"Vista", sim::profiles::WindowsVista(), "1",
       {{"ENGINECACHE", vistaCache}, {"UNINSTALLLINK", vistaCache + "setup.exe"}}},
      {"Windows 7 x64: the 32-bit program files folder", sim::profiles::Windows7x64(), "1",
       {{"ENGINECACHE", x64Cache},
        {"UNINSTALLLINK", x64Cache + "setup.exe"},
        {"TARGETDIR", R"(C:\Program Files (x86)\TX880 Test\)"}}},
      {"Windows 98: common files, nobody is an administrator", sim::profiles::Windows98(), "1",
       {{"ALLUSERS", "FALSE"}, {"ENGINECACHE", win98Cache}, {"UNINSTALLLINK", win98Cache + "setup.exe"}}},
      {"media mode 2 keeps the data in the cache", sim::profiles::WindowsXpSp2Administrator(), "2",
       {{"DATADIR", std::string(kXpCommonData) + kRevision + "\\"}}},
  };
  const std::vector<ScriptCommand> script = {SetVar("A", "1")};
  const std::string baseline = FirstRunDump(sim::profiles::WindowsXpSp2Administrator(), script);
  for (const Case& c : cases) {
    CommandHarness h(c.profile);
    ScriptHeader header;
    header.mediaMode = c.mediaMode;
    h.Run(script, header);
    EXPECT_EQ(Dump(h), WithChanges(baseline, c.expected)) << c.label;
  }
}

TEST(RunInitializationTest, MediaModeThreeFollowsTheUninstallRegistration) {
  CommandHarness h(sim::profiles::WindowsXpSp2LimitedUser());
  const std::string uninstall = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TX880 Test)";
  h.machine.registry.WriteValue({RegistryRoot::CurrentUser, uninstall}, "UninstallString",
                                RegistryValue::String(R"("C:\Users\Cache\Old Folder\setup.exe" REMOVE=TRUE MODIFY=FALSE)"));
  h.machine.registry.WriteValue({RegistryRoot::LocalMachine, uninstall}, "UninstallString",
                                RegistryValue::String(R"("C:\Machine\Cache\setup.exe" REMOVE=TRUE)"));
  h.machine.files.CreateFolders(std::string(kXpCommonData) + "Cache");
  CacheProbe probe;
  probe.Attach(h);
  ScriptHeader header;
  header.mediaMode = "3";
  h.Run({{"Cache Probe", {}}, SetVar("ALLUSERS", "TRUE"), {"Cache Probe", {}},
         {"Set Variable", {"KEEP$VORN$VORN$TRUE", "1", "FALSE"}}},
        header);
  EXPECT_EQ(probe.seen, (std::vector<std::string>{R"(C:\Users\Cache\Old Folder\|C:\Users\Cache\Old Folder\setup.exe)",
                                                  R"(C:\Machine\Cache\|C:\Machine\Cache\setup.exe)"}));
  // The state is saved under the name of the registered folder.
  EXPECT_TRUE(h.machine.files.IsHidden(std::string(kXpCommonData) + "Cache"));
}

TEST(RunInitializationTest, ResumeEntryIsRemovedFromBothRunKeys) {
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  const std::string run = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Run)";
  for (auto root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
    h.machine.registry.WriteValue({root, run}, "11111111", RegistryValue::String("setup.exe"));
    h.machine.registry.WriteValue({root, run}, "Other", RegistryValue::String("other.exe"));
  }
  h.Run({SetVar("A", "1")});
  for (auto root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
    EXPECT_FALSE(h.machine.registry.ReadValue({root, run}, "11111111"));
    EXPECT_TRUE(h.machine.registry.ReadValue({root, run}, "Other"));
  }
}


// This package installed, its state file in the per-machine cache.
void InstallWithState(CommandHarness& h) {
  Install(h, kRevision);
  WriteState(h, kStatePath, InstalledState());
}

// A command that tells the session what the last "Apply Changes" did.
void AttachApplyProbe(CommandHarness& h, EngineSession::Apply outcome) {
  h.AddProbe("Apply Probe", [&h, outcome](ScriptRunner&) { h.host.Session().lastApply = outcome; });
}

const std::string kCacheFolder = std::string(kXpCommonData) + kRevision;

TEST(EngineStateSavingTest, AfterAnInstallationTheWholeFileIsWritten) {
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  AttachApplyProbe(h, EngineSession::Apply::Installed);
  h.Run({{"Set Variable", {"DRIVERMODE$VORN$VORN$TRUE", "ASIO", "FALSE"}},
         {"Set Variable", {"NOTES$VORN$VORN$TRUE", "$NEWLINE$", "FALSE"}},
         SetVar("VORN_COMPRESS_INSTALLER_CACHE", "FALSE"),
         Set64(false, false, true),
         {"Apply Probe", {}},
         SetVar("DRIVERMODE", "WDM")});
  const std::string expected =
      "VORN-PREDEF-COMPONENT\r\n$\r\nTRUE\r\n$\r\n$\r\n$\r\n$\r\nVORN-PREDEF-COMPONENT\r\n0\r\n$\r\n"
      "C:\\Program Files\\TX880 Test\\\r\nTRUE\r\nTX880 Test\r\nC:\\Setup\\data\\\r\n"
      "DRIVERMODE\r\nWDM\r\nNOTES\r\n$NEWLINE$\r\nVORN64WOW\r\nx64\r\n";
  EXPECT_EQ(h.machine.files.ReadText(kStatePath), expected);
  EXPECT_TRUE(h.machine.files.IsHidden(kCacheFolder));
  EXPECT_FALSE(h.machine.files.IsCompressed(kCacheFolder));
}

TEST(EngineStateSavingTest, WithoutPersistentVariablesNothingIsWritten) {
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  AttachApplyProbe(h, EngineSession::Apply::Installed);
  h.Run({{"Apply Probe", {}}, SetVar("A", "1")});
  EXPECT_FALSE(h.machine.files.FileExists(kStatePath));
  EXPECT_FALSE(h.machine.files.FolderExists(kCacheFolder));
}

TEST(EngineStateSavingTest, AMaintenanceRunRewritesTheVariablesAndKeepsTheRest) {
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  InstallWithState(h);
  h.Run({SetVar("DRIVERMODE", "WDM"),
         {"Set Variable", {"LATENCY$VORN$VORN$TRUE", "3", "FALSE"}},
         Set64(true, false, false),
         SetVar("TARGETDIR", R"(E:\Elsewhere\)")});
  EngineState expected = InstalledState();
  expected.variables = {{"DRIVERMODE", "WDM"}, {"LATENCY", "3"}};
  // Only the variables change; the 64-bit line is the old file's.
  EXPECT_EQ(h.machine.files.ReadText(kStatePath), FormatEngineState(expected));
  EXPECT_FALSE(h.machine.files.FileExists(kStatePath + ".dat")) << "the fresh copy replaced the old file";
  EXPECT_TRUE(h.machine.files.IsHidden(kCacheFolder));
  EXPECT_TRUE(h.machine.files.IsCompressed(kCacheFolder));
}

TEST(EngineStateSavingTest, TheRunIsSavedAfterARuntimeErrorButNotAfterARemoval) {
  {
    CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
    InstallWithState(h);
    h.Run({SetVar("DRIVERMODE", "WDM"), SetVar("PROGRESS", "half"), SetVar("DRIVERMODE", "never")});
    ASSERT_TRUE(h.RuntimeErrorShown());
    EXPECT_NE(h.machine.files.ReadText(kStatePath).find("DRIVERMODE\r\nWDM\r\n"), std::string::npos);
  }
  {
    CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
    InstallWithState(h);
    AttachApplyProbe(h, EngineSession::Apply::Removed);
    h.Run({SetVar("DRIVERMODE", "WDM"), {"Apply Probe", {}}});
    EXPECT_EQ(h.machine.files.ReadText(kStatePath), FormatEngineState(InstalledState()));
    EXPECT_FALSE(h.machine.files.IsHidden(kCacheFolder));
  }
}

TEST(EngineStateSavingTest, DamagedStateFilesAreReadAsFarAsTheyGoAndNeverRewritten) {
  const std::string texts[] = {
      "",
      "garbage without any list end",
      "A\r\n$\r\nTRUE\r\n$\r\n$\r\n",  // cut inside the lists
      "$\r\n$\r\n$\r\n$\r\n$\r\n$\r\nC:\\T\\\r\n",  // cut inside the fixed lines
      std::string("$\r\n$\r\n\0\xff\r\n$", 12),
  };
  for (const std::string& text : texts) {
    CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
    Install(h, kRevision);
    h.machine.files.CreateFolders(kCacheFolder);
    h.machine.files.WriteText(kStatePath, text);
    h.Run({{"Set Variable", {"KEEP$VORN$VORN$TRUE", "1", "FALSE"}}, SetVar("A", "1")});
    EXPECT_EQ(h.host.Store().Get("A"), "1") << text;
    EXPECT_EQ(h.machine.files.ReadText(kStatePath), text) << "a damaged file is left as it is";
    EXPECT_EQ(h.host.Session().mode.TargetPlatform(), "Win32") << text;
  }
}

TEST(EngineStateSavingTest, APerUserStateFileIsReadAndWrittenWhereItIs) {
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  Install(h, kRevision);
  EngineState state = InstalledState();
  state.allUsers = "FALSE";
  const std::string userPath = std::string(kXpUserLocalData) + kRevision + R"(\setup.dat)";
  WriteState(h, userPath, state);
  WriteState(h, kStatePath, InstalledState());
  h.Run({SetVar("DRIVERMODE", "per user")});
  EXPECT_EQ(h.host.Store().Get("ALLUSERS"), "FALSE");
  EXPECT_NE(h.machine.files.ReadText(userPath).find("per user"), std::string::npos);
  EXPECT_EQ(h.machine.files.ReadText(kStatePath), FormatEngineState(InstalledState()));
}

TEST(RunInitializationTest, AnUpgradeCanTakeTheOldDataOfThePreviousInstallation) {
  const char* oldRevision = "{00000000-0000-4000-8000-000000000001}";
  const std::string oldCache = std::string(kXpCommonData) + oldRevision + "\\";
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  Install(h, oldRevision);
  h.machine.registry.WriteValue({RegistryRoot::LocalMachine, std::string(R"(SOFTWARE\Tavrel\Kestrix\Ident.Cache\)") + kProduct},
                                "", RegistryValue::String(oldCache));
  h.machine.files.CreateFolders(oldCache);
  h.machine.files.WriteText(oldCache + "instance.dat", "x\r\ny\r\nz\r\n");
  // Two candidates: the one with its whole set of cached files wins.
  h.machine.files.WriteText(oldCache + "stray.dat", FormatEngineState(EngineState{}));
  for (const char* extension : {".dat", ".exe", ".res", ".msi", ".par"})
    h.machine.files.WriteText(oldCache + "setup" + extension, "");
  WriteState(h, oldCache + "setup.dat", InstalledState());
  h.machine.files.WriteText(oldCache + "setup.par", "MSINTEMP\r\n1\r\n");
  ScriptHeader header;
  header.compilerVariables = {"LOADOLDDATA", "TRUE"};
  h.Run({SetVar("A", "1")}, header);

  EXPECT_EQ(h.host.Store().Get("NEEDSUPGRADE"), "TRUE");
  EXPECT_EQ(h.host.Store().Get("TARGETDIR"), R"(D:\Audio\TX880\)");
  EXPECT_EQ(h.host.Store().Get("DRIVERMODE"), "ASIO$NEWLINE$WDM");
  const ComponentTable& components = h.host.Session().components;
  EXPECT_EQ(components.Names(), InstalledState().componentNames);
  EXPECT_EQ(components.Sizes(), (std::vector<std::string>{"VORN-PREDEF-COMPONENT", "0"})) << "this package's sizes";
  EXPECT_EQ(components.InstalledSize(), 0);
}

TEST(RunInitializationTest, APatchRunReadsTheInstalledProductsCache) {
  CommandHarness h(sim::profiles::WindowsXpSp2Administrator());
  h.machine.files.WriteText(h.state.supportDir + "setup.msp", "patch");
  h.machine.registry.WriteValue({RegistryRoot::CurrentUser, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TX880 Test)"},
                                "UninstallString", RegistryValue::String(R"("C:\Any\{OLD}\setup.exe" REMOVE=TRUE)"));
  const std::string oldState = std::string(kXpCommonData) + R"({OLD}\setup.dat)";
  WriteState(h, oldState, InstalledState());
  h.machine.files.WriteText(std::string(kXpCommonData) + R"({OLD}\setup.par)", "PROP\r\nvalue\r\n");
  h.Run({{"Set Variable", {"PATCHED$VORN$VORN$TRUE", "yes", "FALSE"}}});
  const EngineSession& session = h.host.Session();
  EXPECT_EQ(session.components.InstalledSize(), 1250);
  EXPECT_EQ(session.runProperties, (std::vector<std::string>{"PROP", "value"}));
  EXPECT_EQ(h.host.Store().Get("DRIVERMODE"), "ASIO$NEWLINE$WDM");
  // Outside media mode 3 the run's own cache folder is the revision's; the installed one is
  // left to the patch transaction.
  EXPECT_EQ(h.machine.files.ReadText(oldState), FormatEngineState(InstalledState()));
}

// The 64-bit mode a maintenance run restores applies to the commands without "Set 64 Bit Mode";
// every run starts from "Win32" again.
TEST(RunInitializationTest, TheSavedSixtyFourBitModeSelectsTheViewAndRedirection) {
  CommandHarness h(sim::profiles::Windows7x64());
  std::vector<std::pair<unsigned, bool>> seen;
  h.AddProbe("Probe", [&](ScriptRunner&) {
    seen.emplace_back(h.host.Session().mode.RegistryViewFlag(), h.machine.machine.fsRedirectionOff);
  }, {.r = true, .v = true});
  const std::string statePath = std::string(R"(C:\ProgramData\)") + kRevision + R"(\setup.dat)";
  Install(h, kRevision);
  WriteState(h, statePath, InstalledState());
  h.Run({{"Probe", {}}});
  h.machine.installer.AddProduct(kProduct, {platform::install_state::kAbsent, {}});
  h.machine.files.RemoveFile(statePath);
  h.Run({{"Probe", {}}});
  EXPECT_EQ(seen, (std::vector<std::pair<unsigned, bool>>{{0x100, true}, {0x200, false}}));
}

}  // namespace
}  // namespace zev::testing
