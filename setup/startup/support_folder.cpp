#include "setup/startup/support_folder.h"

#include "setup/platform/error.h"
#include "setup/platform/text_util.h"

namespace zev {

namespace {

// Numbers tried before giving up: a temporary folder full of old support folders is damaged,
// not a reason to loop forever.
constexpr int kMaxSupportFolders = 100000;

void EmptyFolder(platform::FileSystem& files, const std::string& folder) {
  for (const auto& entry : files.ListFolder(folder)) {
    std::string path = folder + entry.name;
    if (entry.isFolder) {
      EmptyFolder(files, path + "\\");
      files.RemoveFolder(path);
    } else {
      files.SetNormalAttributes(path);
      files.RemoveFile(path);
    }
  }
}

}  // namespace

std::string CreateSupportFolder(platform::FileSystem& files, const std::string& tempDir) {
  for (int n = 1; n <= kMaxSupportFolders; ++n) {
    std::string candidate = tempDir + "zev" + std::to_string(n);
    // A file of that name blocks the folder as much as a folder does.
    if (files.FolderExists(candidate) || files.FileExists(candidate)) continue;
    if (!files.CreateFolders(candidate)) throw Error("Cannot create the folder " + candidate);
    return WithTrailingBackslash(candidate);
  }
  throw Error("No free support folder name under " + tempDir);
}

void RemoveSupportFolder(platform::FileSystem& files, const std::string& folder) {
  if (folder.empty() || !files.FolderExists(folder)) return;
  std::string withSlash = WithTrailingBackslash(folder);
  for (int pass = 0; pass < 3; ++pass) EmptyFolder(files, withSlash);
  files.RemoveFolder(withSlash.substr(0, withSlash.size() - 1));
}

}  // namespace zev
