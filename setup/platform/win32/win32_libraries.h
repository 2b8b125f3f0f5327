#pragma once
#include "setup/platform/libraries.h"

namespace zev::win32 {

class Win32Libraries : public platform::Libraries {
 public:
  std::unique_ptr<platform::LoadedModule> LoadFromPath(const std::string& path) override;
  std::unique_ptr<platform::LoadedModule> ProgramModule() override;
};

}  // namespace zev::win32
