#include "setup/commands/command_context.h"

#include <memory>
#include <utility>

#include "setup/platform/text_util.h"

namespace zev {

void RegisterCommand(ScriptRunner& runner, CommandEnvironment& environment, std::string name,
                     ScriptRunner::Handler handler, CommandFlags flags) {
  auto shared = std::make_shared<ScriptRunner::Handler>(std::move(handler));
  runner.Register(std::move(name), [&environment, shared, flags](ScriptRunner& run) {
    platform::MachineInfo& machine = environment.platform.machine;
    std::optional<RegistryViewScope> view;
    if (flags.v) view.emplace(environment.mode, machine);
    std::optional<RedirectionScope> redirection;
    if (flags.r) redirection.emplace(environment.mode, machine);
    (*shared)(run);
  });
}

std::string TextParameter(ScriptRunner& run, int n) { return run.Vars().Expand(run.Parameter(n)); }

std::string PathParameter(ScriptRunner& run, int n) {
  return run.Vars().ExpandPath(run.Parameter(n));
}

bool BoolParameter(ScriptRunner& run, int n) { return IsTrue(run.Parameter(n)); }

int NumberParameter(ScriptRunner& run, int n) { return ToIntegerOrError(run.Parameter(n)); }

std::string ResultName(ScriptRunner& run, int n) { return run.Parameter(n); }

std::string ResultNameOrReference(ScriptRunner& run, int n) {
  return VariableNameOf(run.Parameter(n));
}

std::string TranslatedText(ScriptRunner& run, int n, int slot) {
  return run.Vars().Expand(run.Translated(n, slot));
}

std::string ResultOrigin(std::string_view commandName) {
  return std::string(commandName) + " Action";
}

void StoreNamedResult(ScriptRunner& run, std::string_view name, std::string_view value,
                      std::optional<std::string_view> origin) {
  if (name.empty()) return;
  std::string text = origin ? std::string(*origin) : ResultOrigin(run.Current());
  Variables& vars = run.Vars();
  if (!vars.Store().Exists(name)) vars.SetVariable(ToUpperAscii(name), "", text);
  vars.AssignVariable(name, value, text);
}

void StoreResult(ScriptRunner& run, int n, std::string_view value,
                 std::optional<std::string_view> origin) {
  StoreNamedResult(run, ResultName(run, n), value, origin);
}

}  // namespace zev
