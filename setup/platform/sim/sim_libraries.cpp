#include "setup/platform/sim/sim_libraries.h"

#include <vector>

namespace zev::sim {

namespace {

constexpr std::size_t kHeaderPage = 4096;

class SimModule : public platform::LoadedModule {
 public:
  explicit SimModule(std::vector<std::byte> headers) : headers_(std::move(headers)) {}
  std::span<const std::byte> MappedHeaders() override { return headers_; }

 private:
  std::vector<std::byte> headers_;
};

}  // namespace

std::unique_ptr<platform::LoadedModule> SimLibraries::LoadFromPath(const std::string& path) {
  if (!files_.FileExists(path)) return nullptr;
  auto input = files_.OpenForReading(path);
  std::vector<std::byte> headers(kHeaderPage);
  headers.resize(input->Read(headers.data(), headers.size()));
  // Like the real loader: only a program image loads.
  if (headers.size() < 2 || headers[0] != std::byte{'M'} || headers[1] != std::byte{'Z'}) return nullptr;
  return std::make_unique<SimModule>(std::move(headers));
}

std::unique_ptr<platform::LoadedModule> SimLibraries::ProgramModule() {
  return LoadFromPath(system_.ExecutablePath());
}

}  // namespace zev::sim
