#pragma once
#include <string>
#include <vector>

#include "setup/startup/command_line.h"

namespace zev {

// Process-wide start-up state, filled in start-up order and read by the rest of the engine.
struct StartupState {
  std::string exeDir;        // ends in a backslash
  std::string exeBaseName;
  std::string tempDir;       // ends in a backslash; TEMPDIR
  std::string resourceArchivePath;
  std::string supportDir;    // empty until created; SUPPORTDIR
  std::string dataDir;       // initial DATADIR
  CommandLineSettings commandLine;
  int exitCode = 0;
};

}  // namespace zev
