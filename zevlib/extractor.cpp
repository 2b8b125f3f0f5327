#include "zevlib/extractor.h"

#include <algorithm>
#include <system_error>

#include "zevlib/errors.h"
#include "zevlib/pending_file.h"
#include "zevlib/target_pattern.h"

namespace zevlib {
namespace {

void CreateFolders(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    throw ZipError(ZEV_ERROR_WRITE_FAILED, "cannot create the folder " + folder.string() +
                                               (error ? ": " + error.message() : ""));
  }
}

}  // namespace

Extractor::Extractor(const ExtractRequest& request, const ExtractCallbacks& callbacks)
    : request_(request), callbacks_(callbacks), archive_(request.archive) {
  if (!request.password.empty()) passwords_.push_back(request.password);
}

void Extractor::Run() {
  std::vector<const ZipEntry*> selected = SelectEntries();
  CreateFolders(request_.destination);
  root_ = ResolvePath(request_.destination);

  std::optional<ZipError> skipped;
  for (const ZipEntry* entry : selected) {
    std::optional<ZipError> failure = TryExtract(*entry);
    if (!failure) continue;
    if (failure->code() == ZEV_ERROR_STOPPED) throw *failure;
    bool end = !callbacks_.endOnError || callbacks_.endOnError(entry->record.name, failure->code());
    if (end) throw *failure;
    if (!skipped) skipped = failure;
  }
  if (skipped) throw *skipped;
}

std::optional<ZipError> Extractor::TryExtract(const ZipEntry& entry) {
  try {
    ExtractEntry(entry);
    return std::nullopt;
  } catch (const ZipError& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return ZipError(ZEV_ERROR_WRITE_FAILED, "out of memory");
  } catch (const std::exception& error) {
    return ZipError(ZEV_ERROR_WRITE_FAILED, error.what());
  }
}

std::vector<const ZipEntry*> Extractor::SelectEntries() const {
  std::vector<TargetPattern> patterns;
  for (const auto& name : request_.names) patterns.emplace_back(name);
  std::vector<bool> found(patterns.size(), false);
  std::vector<const ZipEntry*> selected;
  for (const auto& entry : archive_.entries()) {
    bool wanted = patterns.empty();
    std::string key = NameKey(entry.record.name);
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      if (patterns[i].MatchesKey(key)) wanted = found[i] = true;
    }
    if (wanted) selected.push_back(&entry);
  }
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (!found[i]) {
      throw ZipError(ZEV_ERROR_FILE_NOT_FOUND,
                     "the archive has no entry \"" + patterns[i].text() + "\"");
    }
  }
  return selected;
}

void Extractor::ExtractEntry(const ZipEntry& entry) {
  // Checked in every path mode: an archive carrying such a name is hostile.
  CheckedName name = CheckEntryName(entry.record.name);
  bool isFolder = name.isFolder || entry.record.IsFolder();
  if (isFolder && !request_.keepPaths) return;

  std::filesystem::path target = root_;
  if (request_.keepPaths) {
    for (const auto& part : name.parts) target /= PathFromUtf8(part);
  } else {
    target /= PathFromUtf8(name.parts.back());
  }
  EnsureInsideDestination(entry, target);
  if (isFolder) {
    ExtractFolder(entry, target);
  } else {
    ExtractFile(entry, target);
  }
}

void Extractor::ExtractFolder(const ZipEntry& entry, const std::filesystem::path& target) {
  ReportProgress(entry, 0);
  CreateFolders(target);
  EnsureInsideDestination(entry, target);
}

void Extractor::ExtractFile(const ZipEntry& entry, const std::filesystem::path& target) {
  FileFacts existing = QueryFile(target);
  if (existing.isFolder) {
    throw ZipError(ZEV_ERROR_WRITE_FAILED, "a folder is in the way of " + target.string());
  }
  if (existing.exists) {
    Overwrite answer = callbacks_.overwrite
                           ? callbacks_.overwrite({target, existing.size, existing.fileTime},
                                                  Describe(entry.record))
                           : Overwrite::Keep;
    if (answer == Overwrite::Keep) return;
  }
  CreateFolders(target.parent_path());
  // Again, now that the folders exist: one of them may have been a link all along.
  EnsureInsideDestination(entry, target);
  DecodeWithPassword(entry, [&](EntryDecoder& decoder) { WriteFile(entry, decoder, target); });
}

void Extractor::WriteFile(const ZipEntry& entry, EntryDecoder& decoder,
                          const std::filesystem::path& target) {
  PendingFile pending(target);
  ReportProgress(entry, 0);
  decoder.Run(
      buffers_,
      [&](std::span<const std::uint8_t> data) { pending.file().Write(data.data(), data.size()); },
      [&](std::uint64_t done) { ReportProgress(entry, done); });
  pending.Commit(entry.record.fileTime);
}

void Extractor::DecodeWithPassword(const ZipEntry& entry,
                                   const std::function<void(EntryDecoder&)>& use) {
  if (!entry.record.IsEncrypted()) {
    EntryDecoder decoder(archive_.file(), entry, {});
    use(decoder);
    return;
  }
  std::size_t tried = 0;
  do {
    for (; tried < passwords_.size(); ++tried) {
      try {
        EntryDecoder decoder(archive_.file(), entry, passwords_[tried]);
        use(decoder);
      } catch (const WrongPassword&) {
        continue;
      }
      // The next entry most likely has the same password.
      std::rotate(passwords_.begin(), passwords_.begin() + static_cast<std::ptrdiff_t>(tried),
                  passwords_.begin() + static_cast<std::ptrdiff_t>(tried) + 1);
      return;
    }
  } while (AskForPassword());
  throw ZipError(ZEV_ERROR_CANNOT_OPEN,
                 "wrong or missing password for \"" + entry.record.name + "\"");
}

bool Extractor::AskForPassword() {
  if (askedForPassword_ || !callbacks_.password) return false;
  askedForPassword_ = true;
  std::optional<std::string> answer = callbacks_.password();
  if (!answer || answer->empty()) return false;
  if (std::find(passwords_.begin(), passwords_.end(), *answer) != passwords_.end()) return false;
  passwords_.push_back(*answer);
  return true;
}

void Extractor::EnsureInsideDestination(const ZipEntry& entry,
                                        const std::filesystem::path& target) const {
  if (!IsInside(root_, ResolvePath(target))) {
    throw ZipError(ZEV_ERROR_UNSAFE_ENTRY,
                   "\"" + entry.record.name + "\" would be written outside the destination");
  }
}

void Extractor::ReportProgress(const ZipEntry& entry, std::uint64_t done) const {
  if (callbacks_.progress && !callbacks_.progress(entry.record.name, done, entry.record.size)) {
    throw ZipError(ZEV_ERROR_STOPPED, "stopped while extracting \"" + entry.record.name + "\"");
  }
}

}  // namespace zevlib
