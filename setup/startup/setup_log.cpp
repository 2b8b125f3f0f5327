#include "setup/startup/setup_log.h"

#include "setup/platform/text_util.h"

namespace zev {

SetupLog::SetupLog(platform::FileSystem& files, platform::SystemInfo& system)
    : files_(files), system_(system), ntFamily_(system.Version().ntFamily) {}

void SetupLog::SetPath(std::string path) { path_ = std::move(path); }

std::string SetupLog::Encode(std::string_view line) const {
  if (!ntFamily_) return std::string(line) + "\r\n";
  std::u16string wide = system_.AnsiToUtf16(line);
  wide += u"\r\n";
  std::string bytes;
  bytes.reserve(wide.size() * 2);
  for (char16_t unit : wide) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

void SetupLog::WriteLogLine(std::string_view line) {
  if (path_.empty()) return;
  std::string bytes = Encode(line);
  std::lock_guard lock(mutex_);
  bool truncate = !started_;
  started_ = true;
  if (files_.AppendToFile(path_, bytes.data(), bytes.size(), truncate)) return;
  // A log in a folder that does not exist yet: make the folder once and try again. Other
  // failures are ignored; the log never stops the setup.
  if (truncate && files_.CreateFolders(FolderOf(path_)))
    files_.AppendToFile(path_, bytes.data(), bytes.size(), true);
}

bool SetupLog::Started() const {
  std::lock_guard lock(mutex_);
  return started_;
}

void SetupLog::MarkStarted() {
  std::lock_guard lock(mutex_);
  started_ = true;
}

}  // namespace zev
