#include "setup/platform/win32/win32_libraries.h"

#include <windows.h>

namespace zev::win32 {

namespace {

// The headers of a mapped image: the loader maps them as the first region of the module.
std::span<const std::byte> HeaderRegion(HMODULE module) {
  MEMORY_BASIC_INFORMATION region{};
  if (!module || VirtualQuery(module, &region, sizeof region) == 0) return {};
  auto* base = reinterpret_cast<const std::byte*>(module);
  auto* regionStart = static_cast<const std::byte*>(region.BaseAddress);
  std::size_t available = region.RegionSize - static_cast<std::size_t>(base - regionStart);
  return {base, available};
}

class LoadedLibrary : public platform::LoadedModule {
 public:
  explicit LoadedLibrary(HMODULE module) : module_(module) {}
  ~LoadedLibrary() override { FreeLibrary(module_); }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  std::span<const std::byte> MappedHeaders() override { return HeaderRegion(module_); }

 private:
  HMODULE module_;
};

// The program's own image is never released.
class ProgramImage : public platform::LoadedModule {
 public:
  std::span<const std::byte> MappedHeaders() override { return HeaderRegion(GetModuleHandleA(nullptr)); }
};

}  // namespace

std::unique_ptr<platform::LoadedModule> Win32Libraries::LoadFromPath(const std::string& path) {
  // A full path is loaded from there and nowhere else.
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) return nullptr;
  return std::make_unique<LoadedLibrary>(module);
}

std::unique_ptr<platform::LoadedModule> Win32Libraries::ProgramModule() {
  return std::make_unique<ProgramImage>();
}

}  // namespace zev::win32
