#pragma once
#include <cstddef>
#include <memory>
#include <span>
#include <string>

namespace zev::platform {

// A library or program image loaded into the process; released when destroyed.
class LoadedModule {
 public:
  virtual ~LoadedModule() = default;
  // The start of the image as the loader mapped it: headers and section table.
  virtual std::span<const std::byte> MappedHeaders() = 0;
};

class Libraries {
 public:
  virtual ~Libraries() = default;
  // Loads a library by its full path; nothing when it cannot be loaded.
  virtual std::unique_ptr<LoadedModule> LoadFromPath(const std::string& path) = 0;
  // The running program's own image.
  virtual std::unique_ptr<LoadedModule> ProgramModule() = 0;
};

}  // namespace zev::platform
