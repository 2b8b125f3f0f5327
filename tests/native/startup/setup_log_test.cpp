#include "setup/startup/setup_log.h"

#include <gtest/gtest.h>

#include <thread>

#include "setup/platform/sim/sim_file_system.h"
#include "setup/platform/sim/sim_system_info.h"
#include "support/temp_folder.h"

namespace zev {
namespace {

std::string Utf16(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

class SetupLogTest : public ::testing::Test {
 protected:
  testing::TempFolder host;
  sim::SimFileSystem files{host.path()};
  sim::SimSystemInfo system{sim::OsProfile::WindowsXp()};
};

TEST_F(SetupLogTest, NtFamilyWritesUtf16WithoutByteOrderMark) {
  SetupLog log(files, system);
  log.SetPath(R"(C:\setup.log)");
  log.WriteLogLine("<Kestrix>");
  log.WriteLogLine("  caf\xE9 \x80");
  EXPECT_EQ(files.ReadText(R"(c:\SETUP.LOG)"), Utf16(u"<Kestrix>\r\n  caf\u00E9 \u20AC\r\n"));
}

TEST_F(SetupLogTest, Windows9xWritesAnsi) {
  sim::SimSystemInfo old{sim::OsProfile::Windows98()};
  SetupLog log(files, old);
  log.SetPath(R"(C:\setup.log)");
  log.WriteLogLine("caf\xE9");
  log.WriteLogLine("");
  EXPECT_EQ(files.ReadText(R"(C:\setup.log)"), "caf\xE9\r\n\r\n");
}

TEST_F(SetupLogTest, FirstLineOfTheProcessTruncatesAnOldLog) {
  files.WriteText(R"(C:\setup.log)", "old run's log");
  SetupLog log(files, system);
  log.SetPath(R"(C:\setup.log)");
  EXPECT_FALSE(log.Started());
  log.WriteLogLine("a");
  EXPECT_TRUE(log.Started());
  log.WriteLogLine("b");
  EXPECT_EQ(files.ReadText(R"(C:\setup.log)"), Utf16(u"a\r\nb\r\n"));
}

TEST_F(SetupLogTest, WithoutPathNothingIsWritten) {
  SetupLog log(files, system);
  log.WriteLogLine("nothing");
  EXPECT_FALSE(log.Started());
  EXPECT_TRUE(files.ListFolder("C:\\").empty());
}

TEST_F(SetupLogTest, MissingLogFolderIsCreated) {
  SetupLog log(files, system);
  log.SetPath(R"(C:\Logs\Deep\setup.log)");
  log.WriteLogLine("x");
  EXPECT_EQ(files.ReadText(R"(C:\Logs\Deep\setup.log)"), Utf16(u"x\r\n"));
}

TEST_F(SetupLogTest, UnwritablePathIsIgnored) {
  files.CreateFolders(R"(C:\setup.log)");  // a folder where the file should be
  SetupLog log(files, system);
  log.SetPath(R"(C:\setup.log)");
  EXPECT_NO_THROW(log.WriteLogLine("x"));
}

TEST_F(SetupLogTest, LinesFromSeveralThreadsStayWhole) {
  SetupLog log(files, system);
  log.SetPath(R"(C:\setup.log)");
  log.WriteLogLine("start");
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&log, t] {
      for (int i = 0; i < 50; ++i) log.WriteLogLine("worker " + std::to_string(t) + " line");
    });
  for (auto& worker : workers) worker.join();
  std::string text = files.ReadText(R"(C:\setup.log)");
  std::string expectedLine = Utf16(u"worker 0 line\r\n");
  ASSERT_EQ(text.size(), Utf16(u"start\r\n").size() + 200 * expectedLine.size());
  for (std::size_t at = Utf16(u"start\r\n").size(); at < text.size(); at += expectedLine.size()) {
    std::string line = text.substr(at, expectedLine.size());
    line[14] = '0';  // the worker number
    EXPECT_EQ(line, expectedLine);
  }
}

}  // namespace
}  // namespace zev
