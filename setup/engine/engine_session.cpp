#include "setup/engine/engine_session.h"

#include "setup/platform/text_util.h"

namespace zev {

void EngineSession::AddPersistentVariable(std::string_view name) {
  for (const auto& known : persistentVariables)
    if (EqualsIgnoreCase(known, name)) return;
  persistentVariables.emplace_back(name);
}

}  // namespace zev
