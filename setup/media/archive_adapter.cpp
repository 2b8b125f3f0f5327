#include "setup/media/archive_adapter.h"

#include <cstring>
#include <exception>

namespace zev {

namespace {
constexpr int kOverwriteKeep = 1;
constexpr int kOverwriteReplace = 4;
}  // namespace

std::string ArchiveAdapter::ErrorText(int error) {
  switch (error) {
    case 1001: return "The archive file was not found";
    case 1002: return "Illegal path used in a wildcard expression";
    case 1003: return "The archive cannot be opened: unsupported archive or incorrect password";
    default: return "General failure opening archive";
  }
}

platform::ArchiveCallbacks ArchiveAdapter::MakeCallbacks(const std::string& password,
                                                         const Progress& progress,
                                                         bool overwrite) {
  primedPassword_ = password;
  platform::ArchiveCallbacks callbacks;
  callbacks.password = [this](char* buffer, std::size_t size) {
    if (primedPassword_.empty() || size == 0) return 0;
    std::size_t length = std::min(primedPassword_.size(), size - 1);
    std::memcpy(buffer, primedPassword_.data(), length);
    buffer[length] = '\0';
    primedPassword_.clear();
    return 1;
  };
  callbacks.progress = progress ? progress : Progress([](const std::string&, std::uint64_t, std::uint64_t) { return 1; });
  callbacks.continueAfterError = [] { return 1; };
  callbacks.overwrite = [overwrite] { return overwrite ? kOverwriteReplace : kOverwriteKeep; };
  return callbacks;
}

bool ArchiveAdapter::List(const std::string& archive, const std::string& password,
                          std::vector<std::string>& names, std::string& errorText) {
  names.clear();
  auto callbacks = MakeCallbacks(password, nullptr, false);
  auto entries = library_.ListArchive(archive, password, callbacks);
  primedPassword_.clear();
  if (!entries) {
    errorText = ErrorText(library_.LastArchiveError());
    return false;
  }
  for (auto& entry : *entries) names.push_back(std::move(entry.name));
  return true;
}

bool ArchiveAdapter::Extract(const std::string& archive, const std::string& password,
                             const std::string& destination, const Progress& progress,
                             const std::optional<std::vector<std::string>>& files,
                             bool overwrite, bool keepPaths, std::string& errorText) {
  try {
    std::vector<std::string> names;
    if (files) {
      names = *files;
    } else if (!List(archive, password, names, errorText)) {
      return false;
    }
    auto callbacks = MakeCallbacks(password, progress, overwrite);
    int result = library_.ExtractArchive(archive, destination, names, keepPaths, password, callbacks);
    primedPassword_.clear();
    if (result != 0) return true;
    errorText = "#" + std::to_string(library_.LastArchiveError());
    return false;
  } catch (const std::exception& error) {
    primedPassword_.clear();
    errorText = error.what();
    return false;
  }
}

}  // namespace zev
