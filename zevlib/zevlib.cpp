#include "zevlib/zevlib.h"

#include "zevlib/errors.h"
#include "zevlib/extractor.h"
#include "zevlib/zip_archive.h"

namespace zevlib {
namespace {

// Nothing escapes the library: every failure becomes an error number.
template <typename Work>
Status Guard(std::int32_t fallback, Work&& work) {
  try {
    work();
    return {};
  } catch (const ZipError& error) {
    return {error.code(), error.what()};
  } catch (const std::bad_alloc&) {
    return {fallback, "out of memory"};
  } catch (const std::exception& error) {
    return {fallback, error.what()};
  }
}

}  // namespace

Status ListArchive(const std::filesystem::path& archive, std::vector<EntryInfo>& entries) {
  entries.clear();
  return Guard(ZEV_ERROR_CANNOT_OPEN, [&] {
    ZipArchive opened(archive);
    entries.reserve(opened.entries().size());
    for (const auto& entry : opened.entries()) entries.push_back(Describe(entry.record));
  });
}

Status ExtractArchive(const ExtractRequest& request, const ExtractCallbacks& callbacks) {
  if (request.archive.empty() || request.destination.empty()) {
    return {ZEV_ERROR_BAD_ARGUMENT, "no archive or no destination"};
  }
  return Guard(ZEV_ERROR_WRITE_FAILED, [&] {
    Extractor extractor(request, callbacks);
    extractor.Run();
  });
}

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

}  // namespace zevlib
