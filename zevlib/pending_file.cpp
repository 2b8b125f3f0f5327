#include "zevlib/pending_file.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "zevlib/errors.h"

namespace zevlib {
namespace {

std::string TemporaryName(unsigned attempt) {
  // Different in every call and process, so collisions are rare and only cost a retry.
  static std::atomic<std::uint32_t> counter{
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
  char name[32];
  std::snprintf(name, sizeof name, "~zev%08x.%u.tmp", static_cast<unsigned>(counter++), attempt);
  return name;
}

}  // namespace

PendingFile::PendingFile(const std::filesystem::path& target) : target_(target) {
  constexpr unsigned kAttempts = 64;
  for (unsigned attempt = 0; attempt < kAttempts && !file_; ++attempt) {
    temporary_ = target.parent_path() / TemporaryName(attempt);
    file_ = OutputFile::CreateNew(temporary_);
  }
  if (!file_) {
    throw ZipError(ZEV_ERROR_WRITE_FAILED,
                   "no temporary file can be made in " + target.parent_path().string());
  }
}

PendingFile::~PendingFile() {
  if (committed_) return;
  file_.reset();
  RemoveFile(temporary_);
}

void PendingFile::Commit(std::uint64_t fileTime) {
  if (fileTime != 0) file_->SetModificationTime(fileTime);
  file_->Close();
  MoveFileOver(temporary_, target_);
  committed_ = true;
}

}  // namespace zevlib
