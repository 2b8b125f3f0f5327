// Any script file must load and compile without a crash, and parameter look-ups through the
// index must give what a plain scan of the parameter lines gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "setup/engine/compile_script.h"
#include "setup/engine/script_lists.h"
#include "setup/platform/error.h"
#include "setup/platform/text_util.h"

namespace {

class MemoryInput : public zev::platform::InputFile {
 public:
  explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() override { return bytes_.size(); }
  void Seek(std::uint64_t offset) override { position_ = std::min<std::uint64_t>(offset, bytes_.size()); }
  std::size_t Read(void* buffer, std::size_t count) override {
    std::size_t got = std::min<std::size_t>(count, bytes_.size() - position_);
    if (got) std::memcpy(buffer, bytes_.data() + position_, got);
    position_ += got;
    return got;
  }

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;
};

// One read-only file; everything else fails.
class OneFileSystem : public zev::platform::FileSystem {
 public:
  explicit OneFileSystem(std::string_view bytes) : bytes_(bytes) {}
  bool FileExists(const std::string&) override { return true; }
  bool FolderExists(const std::string&) override { return false; }
  bool CreateFolders(const std::string&) override { return false; }
  std::unique_ptr<zev::platform::InputFile> OpenForReading(const std::string&) override {
    return std::make_unique<MemoryInput>(bytes_);
  }
  std::unique_ptr<zev::platform::OutputFile> CreateForWriting(const std::string&) override {
    throw zev::Error("read-only");
  }
  bool AppendToFile(const std::string&, const void*, std::size_t, bool) override { return false; }
  bool CopyOver(const std::string&, const std::string&) override { return false; }
  bool SetNormalAttributes(const std::string&) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
  bool RemoveFolder(const std::string&) override { return false; }
  std::vector<zev::platform::FolderEntry> ListFolder(const std::string&) override { return {}; }

 private:
  std::string_view bytes_;
};

std::string ScanParameter(const std::vector<std::string>& lines, const std::string& id, int n) {
  for (std::size_t line = 0; line < lines.size(); ++line)
    if (zev::EqualsIgnoreCase(lines[line], id))
      return line + static_cast<std::size_t>(n) < lines.size() ? lines[line + static_cast<std::size_t>(n)] : "";
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  OneFileSystem files(std::string_view(reinterpret_cast<const char*>(data), size));
  zev::ScriptLists script = zev::ReadScript(files, "C:\\Temp\\zev.tmp");
  if (script.ParameterLines.Count() != 1) std::abort();

  const std::size_t commands = script.CommandCount();
  const bool listsComplete = script.CommandIds.size() >= commands && script.CommandFlags.size() >= commands;
  zev::NameSet symbols;
  // Some expressions pass and some fail, so both paths of the check are taken.
  zev::ExpressionCheck check = [](std::string_view parameter) { return parameter.size() % 3 != 0; };
  try {
    zev::CompileResult result = zev::CompileScript(script, symbols, check);
    if (result.Valid() != (result.message == zev::kCompiledSuccessfully)) std::abort();
    if (result.CommandMarks.size() > commands) std::abort();
    if (result.Valid() && result.CommandMarks.size() != commands) std::abort();
    if (!result.Valid() && result.index != zev::kUnbalancedEndIndex &&
        (result.index < 0 || static_cast<std::size_t>(result.index) >= commands))
      std::abort();
  } catch (const zev::Error&) {
    if (listsComplete) std::abort();  // only a list cut short may throw
  }

  const auto& lines = script.ParameterLines.List(0);
  for (std::size_t i = 0; i < std::min(commands, script.CommandIds.size()); ++i)
    for (int n = 0; n <= 4; ++n)
      if (script.GetParameter(i, n) != ScanParameter(lines, script.CommandIds[i], n)) std::abort();

  try {
    zev::ExpandCompilerVariables(script.CompilerVariables, "#LOCMODE#");
    for (std::size_t i = 0; i < std::min<std::size_t>(lines.size(), 8); ++i)
      zev::ExpandCompilerVariables(script.CompilerVariables, lines[i]);
  } catch (const zev::Error&) {
    // a runaway expansion is refused, not carried out
  }
  return 0;
}
