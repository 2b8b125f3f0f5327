// Any engine state file must read without a crash; what was read must write back to the same
// state, a rewrite must keep the file's head and last line, and the component table must take
// the lists whatever they hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/engine/component_table.h"
#include "setup/engine/engine_state_file.h"
#include "setup/platform/error.h"
#include "setup/startup/language_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const zev::EngineState state = zev::ParseEngineState(text);
  if (zev::ParseEngineState(zev::FormatEngineState(state)) != state) std::abort();

  const std::vector<std::pair<std::string, std::string>> variables = {{"KEEP", "a\r\nb"}};
  if (auto rewritten = zev::RewritePersistentVariables(text, variables)) {
    const zev::EngineState again = zev::ParseEngineState(*rewritten);
    if (again.componentNames != state.componentNames || again.targetDir != state.targetDir ||
        again.dataDir != state.dataDir || again.variables != std::vector<std::pair<std::string, std::string>>{{"KEEP", "a$NEWLINE$b"}})
      std::abort();
    if (zev::SplitLines(text).back() != again.wow64Setting) std::abort();
  }

  zev::ComponentTable table;
  table.Reset({"VORN-PREDEF-COMPONENT", "1000"});
  table.Define("VORN-PREDEF-COMPONENT", true, "");
  table.Merge(state);
  table.Replace(state, size % 2 == 0);
  if (table.States().size() != table.Names().size()) std::abort();
  try {
    table.RecordInstalledSize();
    (void)table.TotalSize();
  } catch (const zev::Error&) {
    // A size that is not a number is the script's error, reported when asked for.
  }
  zev::EngineState stored;
  table.Store(stored);
  if (stored.componentNames != table.Names()) std::abort();
  return 0;
}
