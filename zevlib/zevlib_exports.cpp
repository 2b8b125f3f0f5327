// The four entry points of zev.lib. Paths and names arrive in the ANSI code page and are
// handed to the core as wide paths and UTF-8 names; names go back to the caller in ANSI.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "zevlib/zev_api.h"
#include "zevlib/zevlib.h"

#if !defined(_WIN64)
static_assert(sizeof(ZevListEntry) == 48, "the setup reads 48-byte entries");
static_assert(offsetof(ZevListEntry, compressedSize) == 8);
static_assert(offsetof(ZevListEntry, size) == 16);
static_assert(offsetof(ZevListEntry, crc32) == 24);
static_assert(offsetof(ZevListEntry, flags) == 28);
static_assert(offsetof(ZevListEntry, fileTimeLow) == 32);
static_assert(offsetof(ZevListEntry, attributes) == 40);
#endif

namespace {

thread_local std::int32_t lastError = 0;

std::wstring Widen(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  int length =
      MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return {};
  // No best-fit mapping: a look-alike character must not turn into a '.' or a '\'.
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int length = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                   nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), text.data(),
                      length, nullptr, nullptr);
  return text;
}

std::string AnsiToUtf8(const char* text) { return Narrow(Widen(text, CP_ACP), CP_UTF8); }
std::string Utf8ToAnsi(const std::string& text) { return Narrow(Widen(text, CP_UTF8), CP_ACP); }
std::filesystem::path AnsiPath(const char* text) { return Widen(text, CP_ACP); }

std::uint32_t Low(std::uint64_t value) { return static_cast<std::uint32_t>(value); }
std::uint32_t High(std::uint64_t value) { return static_cast<std::uint32_t>(value >> 32); }

std::int32_t Finish(std::int32_t error) {
  lastError = error;
  return error == 0 ? 1 : 0;
}

ZevListHandle FailListing(std::int32_t error) {
  lastError = error;
  return 0;
}

zevlib::ExtractCallbacks AdaptCallbacks(ZevPasswordCallback password, ZevProgressCallback progress,
                                        ZevContinueCallback continueAfterError,
                                        ZevOverwriteCallback overwrite) {
  zevlib::ExtractCallbacks callbacks;
  if (password) {
    callbacks.password = [password]() -> std::optional<std::string> {
      std::vector<char> buffer(ZEV_PASSWORD_BUFFER_SIZE, '\0');
      if (!password(buffer.data())) return std::nullopt;
      buffer.back() = '\0';
      return std::string(buffer.data());
    };
  }
  if (progress) {
    callbacks.progress = [progress](const std::string& entry, std::uint64_t done,
                                    std::uint64_t total) {
      return progress(Utf8ToAnsi(entry).c_str(), done, total) != 0;
    };
  }
  if (continueAfterError) {
    callbacks.endOnError = [continueAfterError](const std::string& entry, std::int32_t error) {
      return continueAfterError(Utf8ToAnsi(entry).c_str(), error) == 1;
    };
  }
  if (overwrite) {
    callbacks.overwrite = [overwrite](const zevlib::ExistingFile& existing,
                                      const zevlib::EntryInfo& entry) {
      std::string existingName = Narrow(existing.path.wstring(), CP_ACP);
      int answer =
          overwrite(existingName.c_str(), Low(existing.size), High(existing.size),
                    Low(existing.fileTime), High(existing.fileTime), Utf8ToAnsi(entry.name).c_str(),
                    Low(entry.size), High(entry.size), Low(entry.fileTime), High(entry.fileTime));
      return answer == ZEV_OVERWRITE_REPLACE ? zevlib::Overwrite::Replace : zevlib::Overwrite::Keep;
    };
  }
  return callbacks;
}

// A listing handed out by OpenListArchive, alive until CloseListArchive.
struct Listing {
  std::vector<std::string> names;
  std::vector<ZevListEntry> entries;
};

std::mutex listingsMutex;
std::unordered_set<Listing*> listings;

}  // namespace

extern "C" {

int32_t ZEV_CALL ExtractArchive(const char* archive, int32_t operation, const char* destination,
                                const ZevTargetFiles* files, int32_t pathMode, const char* password,
                                ZevPasswordCallback passwordCallback,
                                ZevProgressCallback progressCallback,
                                ZevContinueCallback continueCallback,
                                ZevOverwriteCallback overwriteCallback) {
  try {
    if (!archive || !destination || operation != ZEV_OPERATION_EXTRACT ||
        (pathMode != ZEV_KEEP_PATHS && pathMode != ZEV_DROP_PATHS) ||
        (files && (files->count < 0 || (files->count > 0 && !files->names)))) {
      return Finish(ZEV_ERROR_BAD_ARGUMENT);
    }
    zevlib::ExtractRequest request;
    request.archive = AnsiPath(archive);
    request.destination = AnsiPath(destination);
    request.keepPaths = pathMode == ZEV_KEEP_PATHS;
    request.password = password ? password : "";
    for (int32_t i = 0; files && i < files->count; ++i) {
      if (!files->names[i]) return Finish(ZEV_ERROR_BAD_ARGUMENT);
      request.names.push_back(AnsiToUtf8(files->names[i]));
    }
    auto callbacks =
        AdaptCallbacks(passwordCallback, progressCallback, continueCallback, overwriteCallback);
    return Finish(zevlib::ExtractArchive(request, callbacks).error);
  } catch (...) {
    return Finish(ZEV_ERROR_WRITE_FAILED);
  }
}

// Listing reads only the directory, whose names ZIP never encrypts: the password arguments
// are taken for the interface's sake and not used.
ZevListHandle ZEV_CALL OpenListArchive(const char* archive, int32_t, ZevPasswordCallback, int32_t,
                                       int32_t, int32_t, const char*, ZevListEntry** entries,
                                       int32_t* count) {
  try {
    if (entries) *entries = nullptr;
    if (count) *count = 0;
    if (!archive || !entries || !count) return FailListing(ZEV_ERROR_BAD_ARGUMENT);
    std::vector<zevlib::EntryInfo> found;
    zevlib::Status status = zevlib::ListArchive(AnsiPath(archive), found);
    if (!status.ok()) return FailListing(status.error);
    if (found.size() > INT32_MAX) return FailListing(ZEV_ERROR_CANNOT_OPEN);

    auto listing = std::make_unique<Listing>();
    listing->names.reserve(found.size());
    listing->entries.resize(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
      const zevlib::EntryInfo& info = found[i];
      listing->names.push_back(Utf8ToAnsi(info.name));
      ZevListEntry& entry = listing->entries[i];
      entry.compressedSize = info.compressedSize;
      entry.size = info.size;
      entry.crc32 = info.crc32;
      entry.flags = (info.isFolder ? 1u : 0u) | (info.isEncrypted ? 2u : 0u);
      entry.fileTimeLow = Low(info.fileTime);
      entry.fileTimeHigh = High(info.fileTime);
      entry.attributes = info.attributes;
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
      listing->entries[i].name = listing->names[i].c_str();
    }
    *entries = listing->entries.data();
    *count = static_cast<int32_t>(listing->entries.size());
    {
      std::lock_guard lock(listingsMutex);
      listings.insert(listing.get());
    }
    lastError = 0;
    return reinterpret_cast<ZevListHandle>(listing.release());
  } catch (...) {
    if (entries) *entries = nullptr;
    if (count) *count = 0;
    return FailListing(ZEV_ERROR_CANNOT_OPEN);
  }
}

void ZEV_CALL CloseListArchive(ZevListHandle handle) {
  auto* listing = reinterpret_cast<Listing*>(handle);
  {
    std::lock_guard lock(listingsMutex);
    if (listings.erase(listing) == 0) return;  // unknown or already closed
  }
  delete listing;
}

int32_t ZEV_CALL GetLastArchiveError(void) { return lastError; }

}  // extern "C"
