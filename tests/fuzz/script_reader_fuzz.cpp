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
#include "support/memory_file_system.h"

namespace {

using zev::testing::MemoryFileSystem;

std::string ScanParameter(const std::vector<std::string>& lines, const std::string& id, int n) {
  for (std::size_t line = 0; line < lines.size(); ++line)
    if (zev::EqualsIgnoreCase(lines[line], id))
      return line + static_cast<std::size_t>(n) < lines.size() ? lines[line + static_cast<std::size_t>(n)] : "";
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem files(std::string(reinterpret_cast<const char*>(data), size));
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
