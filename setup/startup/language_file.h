#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "setup/platform/file_system.h"
#include "setup/platform/system_info.h"
#include "setup/startup/engine_messages.h"

namespace zev {

// The English language name the setup uses for a language identifier ("German" for 1031);
// identifiers not in the engine's table are mapped through the system's name for them, and
// give empty text when that leads nowhere.
std::string LanguageName(int languageId, platform::SystemInfo& system);
// The identifier for a language name, ignoring case; 1033 for an unknown name.
int LanguageIdFromName(std::string_view name);

// Splits text into lines ended by CR LF or a bare LF.
std::vector<std::string> SplitLines(std::string_view text);

// Reads a language file: the default block, then pairs of a language name line and a block.
// Blocks are applied in order until the one named for the user's language; a missing or
// unreadable file changes nothing, and a block cut short by the end of the file is not used.
void LoadLanguageFile(platform::FileSystem& files, platform::SystemInfo& system,
                      const std::string& path, EngineMessages& messages);

}  // namespace zev
