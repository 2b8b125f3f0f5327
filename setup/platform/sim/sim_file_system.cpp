#include "setup/platform/sim/sim_file_system.h"

#include <fstream>
#include <system_error>
#include <vector>

#include "setup/platform/error.h"
#include "setup/platform/text_util.h"

namespace zev::sim {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitComponents(std::string_view path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

// The existing entry of folder whose name matches ignoring case, or the name as given.
fs::path ResolveComponent(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(folder / name, error)) return folder / name;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (EqualsIgnoreCase(it->path().filename().string(), name)) return it->path();
  }
  return folder / name;
}

class HostInputFile : public platform::InputFile {
 public:
  HostInputFile(const fs::path& path, const std::string& windowsPath)
      : stream_(path, std::ios::binary) {
    std::error_code error;
    if (!stream_ || fs::is_directory(path, error))
      throw Error("Cannot open file " + windowsPath + ": the file does not exist");
    size_ = fs::file_size(path, error);
  }
  std::uint64_t Size() override { return size_; }
  void Seek(std::uint64_t offset) override {
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
  }
  std::size_t Read(void* buffer, std::size_t count) override {
    stream_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(stream_.gcount());
  }

 private:
  std::ifstream stream_;
  std::uint64_t size_ = 0;
};

class HostOutputFile : public platform::OutputFile {
 public:
  HostOutputFile(const fs::path& path, const std::string& windowsPath)
      : stream_(path, std::ios::binary | std::ios::trunc), name_(windowsPath) {
    if (!stream_) throw Error("Cannot create file " + windowsPath);
  }
  void Write(const void* data, std::size_t count) override {
    stream_.write(static_cast<const char*>(data), static_cast<std::streamsize>(count));
    if (!stream_) throw Error("Cannot write file " + name_);
  }

 private:
  std::ofstream stream_;
  std::string name_;
};

}  // namespace

SimFileSystem::SimFileSystem(fs::path hostRoot) : root_(std::move(hostRoot)) {
  fs::create_directories(root_ / "c");
}

fs::path SimFileSystem::HostPath(const std::string& windowsPath) const {
  std::string_view rest = windowsPath;
  fs::path host;
  if (rest.size() >= 2 && (rest[0] == '\\' || rest[0] == '/') && (rest[1] == '\\' || rest[1] == '/')) {
    host = root_ / "unc";
    rest.remove_prefix(2);
  } else if (rest.size() >= 2 && rest[1] == ':') {
    host = root_ / ToLowerAscii(rest.substr(0, 1));
    rest.remove_prefix(2);
  } else {
    host = root_ / "c";  // the simulated process works in C:\.
  }
  std::vector<fs::path> stack;
  for (const auto& part : SplitComponents(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!stack.empty()) stack.pop_back();
      continue;
    }
    fs::path parent = stack.empty() ? host : stack.back();
    stack.push_back(ResolveComponent(parent, part));
  }
  return stack.empty() ? host : stack.back();
}

bool SimFileSystem::FileExists(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(HostPath(path), error);
}

bool SimFileSystem::FolderExists(const std::string& path) {
  std::error_code error;
  return fs::is_directory(HostPath(path), error);
}

bool SimFileSystem::CreateFolders(const std::string& path) {
  std::error_code error;
  fs::path host = HostPath(path);
  fs::create_directories(host, error);
  return fs::is_directory(host, error);
}

std::unique_ptr<platform::InputFile> SimFileSystem::OpenForReading(const std::string& path) {
  return std::make_unique<HostInputFile>(HostPath(path), path);
}

std::unique_ptr<platform::OutputFile> SimFileSystem::CreateForWriting(const std::string& path) {
  return std::make_unique<HostOutputFile>(HostPath(path), path);
}

bool SimFileSystem::AppendToFile(const std::string& path, const void* data, std::size_t count,
                                 bool truncateFirst) {
  fs::path host = HostPath(path);
  std::error_code error;
  if (!fs::is_directory(host.parent_path(), error)) return false;
  std::ofstream stream(host, std::ios::binary | (truncateFirst ? std::ios::trunc : std::ios::app));
  stream.write(static_cast<const char*>(data), static_cast<std::streamsize>(count));
  return static_cast<bool>(stream);
}

bool SimFileSystem::CopyOver(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::path source = HostPath(from);
  if (!fs::is_regular_file(source, error)) return false;
  return fs::copy_file(source, HostPath(to), fs::copy_options::overwrite_existing, error);
}

bool SimFileSystem::MoveOver(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::path source = HostPath(from);
  if (!fs::is_regular_file(source, error)) return false;
  fs::path destination = HostPath(to);
  if (fs::is_directory(destination, error)) return false;
  const std::string fromKey = AttributeKey(from);
  const std::string toKey = AttributeKey(to);
  // rename(2) replaces the destination atomically, or leaves it untouched when it fails.
  fs::rename(source, destination, error);
  if (error) return false;
  if (fromKey != toKey) {
    std::lock_guard lock(attributesMutex_);
    attributes_.erase(toKey);
    if (auto node = attributes_.extract(fromKey)) {
      node.key() = toKey;
      attributes_.insert(std::move(node));
    }
  }
  return true;
}

bool SimFileSystem::SetNormalAttributes(const std::string& path) {
  std::error_code error;
  fs::permissions(HostPath(path), fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::add, error);
  if (error) return false;
  const std::string key = AttributeKey(path);
  std::lock_guard lock(attributesMutex_);
  if (auto found = attributes_.find(key); found != attributes_.end())
    found->second.hidden = false;
  return true;
}

bool SimFileSystem::SetHidden(const std::string& path) {
  if (!Exists(HostPath(path))) return false;
  const std::string key = AttributeKey(path);
  std::lock_guard lock(attributesMutex_);
  attributes_[key].hidden = true;
  return true;
}

bool SimFileSystem::SetCompression(const std::string& path, bool compressed) {
  if (!Exists(HostPath(path))) return false;
  const std::string key = AttributeKey(path);
  std::lock_guard lock(attributesMutex_);
  attributes_[key].compressed = compressed;
  return true;
}

bool SimFileSystem::RemoveFile(const std::string& path) {
  std::error_code error;
  fs::path host = HostPath(path);
  if (!fs::is_regular_file(host, error)) return false;
  const std::string key = AttributeKey(path);
  if (!fs::remove(host, error)) return false;
  ForgetAttributes(key);
  return true;
}

bool SimFileSystem::RemoveFolder(const std::string& path) {
  std::error_code error;
  fs::path host = HostPath(path);
  if (!fs::is_directory(host, error) || !fs::is_empty(host, error)) return false;
  const std::string key = AttributeKey(path);
  if (!fs::remove(host, error)) return false;
  ForgetAttributes(key);
  return true;
}

std::vector<platform::FolderEntry> SimFileSystem::ListFolder(const std::string& path) {
  std::vector<platform::FolderEntry> entries;
  std::error_code error;
  for (fs::directory_iterator it(HostPath(path), error), end; !error && it != end; it.increment(error))
    entries.push_back({it->path().filename().string(), it->is_directory(error)});
  return entries;
}

void SimFileSystem::WriteText(const std::string& path, const std::string& bytes) {
  fs::path host = HostPath(path);
  fs::create_directories(host.parent_path());
  CreateForWriting(path)->Write(bytes.data(), bytes.size());
}

std::string SimFileSystem::ReadText(const std::string& path) {
  auto input = OpenForReading(path);
  std::string bytes(static_cast<std::size_t>(input->Size()), '\0');
  bytes.resize(input->Read(bytes.data(), bytes.size()));
  return bytes;
}

bool SimFileSystem::IsHidden(const std::string& path) const {
  const std::string key = AttributeKey(path);
  std::lock_guard lock(attributesMutex_);
  auto found = attributes_.find(key);
  return found != attributes_.end() && found->second.hidden;
}

bool SimFileSystem::IsCompressed(const std::string& path) const {
  const std::string key = AttributeKey(path);
  std::lock_guard lock(attributesMutex_);
  auto found = attributes_.find(key);
  return found != attributes_.end() && found->second.compressed;
}

std::string SimFileSystem::AttributeKey(const std::string& windowsPath) const {
  // HostPath has already resolved "." and "..", the separators and the spelling of existing
  // entries; lower-casing makes a new entry's key independent of how it is spelt.
  return ToLowerAscii(HostPath(windowsPath).lexically_relative(root_).generic_string());
}

bool SimFileSystem::Exists(const fs::path& host) const {
  std::error_code error;
  return fs::exists(host, error);
}

void SimFileSystem::ForgetAttributes(const std::string& key) {
  std::lock_guard lock(attributesMutex_);
  attributes_.erase(key);
}

}  // namespace zev::sim
