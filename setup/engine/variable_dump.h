#pragma once
#include <string>

#include "setup/engine/variable_manager.h"

namespace zev {

// The whole store as text that compares well: one "NAME=value" line per variable, sorted by
// name ignoring letter case, names in their stored spelling, control characters and
// backslashes in values escaped (\r, \n, \t, \\, \xHH), so one line is one variable.
std::string DumpVariables(const TVariableManager& store);

}  // namespace zev
