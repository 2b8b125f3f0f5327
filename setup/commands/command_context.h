#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "setup/engine/platform_mode.h"
#include "setup/engine/script_runner.h"
#include "setup/platform/platform.h"

namespace zev {

// What command handlers reach beyond the runner: the machine and the engine's 64-bit state.
// Outlives every run that uses it.
struct CommandEnvironment {
  platform::Platform& platform;
  PlatformMode& mode;
};

// How a command treats 64-bit Windows, as the catalogue marks it: r turns file-system
// redirection off around it (for a 64-bit target), v sets the registry view flag around it.
struct CommandFlags {
  bool r = false;
  bool v = false;
};

// Registers a handler, wrapped in the scopes its flags ask for.
void RegisterCommand(ScriptRunner& runner, CommandEnvironment& environment, std::string name,
                     ScriptRunner::Handler handler, CommandFlags flags = {});

// Parameters of the current command, read the way their kind asks for.
// A text value: references expanded.
std::string TextParameter(ScriptRunner& run, int n);
// A path, key, value name, file mask or command line: expanded, doubled backslashes collapsed.
std::string PathParameter(ScriptRunner& run, int n);
// Raw: "TRUE" in any case or "-1".
bool BoolParameter(ScriptRunner& run, int n);
// Raw decimal; an Error when the text is not a number.
int NumberParameter(ScriptRunner& run, int n);
// The name of a variable the command writes, raw.
std::string ResultName(ScriptRunner& run, int n);
// As ResultName for the commands that accept NAME and $NAME$ alike.
std::string ResultNameOrReference(ScriptRunner& run, int n);
// A visible name or description: its translation while a language is active, then expanded.
std::string TranslatedText(ScriptRunner& run, int n, int slot);

// The origin of a command's result assignments: the command name + " Action".
std::string ResultOrigin(std::string_view commandName);

// Writes a result into the named variable, first creating it (upper-cased, empty) when missing.
// An empty name means no result is wanted. origin defaults to ResultOrigin of the current command.
void StoreNamedResult(ScriptRunner& run, std::string_view name, std::string_view value,
                      std::optional<std::string_view> origin = std::nullopt);
// As StoreNamedResult, the name read raw from parameter n.
void StoreResult(ScriptRunner& run, int n, std::string_view value,
                 std::optional<std::string_view> origin = std::nullopt);

}  // namespace zev
