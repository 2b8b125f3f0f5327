#pragma once
#include <mutex>
#include <string>
#include <string_view>

#include "setup/platform/file_system.h"
#include "setup/platform/system_info.h"

namespace zev {

// The setup log: one line per call, each an open-append-close so a crash loses nothing.
// UTF-16LE without byte-order mark on the NT family, ANSI on Windows 9x. Worker threads
// append through the same writer.
class SetupLog {
 public:
  SetupLog(platform::FileSystem& files, platform::SystemInfo& system);

  // Empty means no log.
  void SetPath(std::string path);
  const std::string& Path() const { return path_; }

  void WriteLogLine(std::string_view line);

  // The first write of the process truncates the file. The installer's own log block appends
  // to the same file and must know whether that has happened.
  bool Started() const;
  void MarkStarted();

 private:
  std::string Encode(std::string_view line) const;

  platform::FileSystem& files_;
  platform::SystemInfo& system_;
  std::string path_;
  bool ntFamily_;
  mutable std::mutex mutex_;
  bool started_ = false;
};

}  // namespace zev
