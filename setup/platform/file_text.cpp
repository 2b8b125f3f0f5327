#include "setup/platform/file_text.h"

#include "setup/platform/error.h"

namespace zev::platform {

std::string ReadWholeFile(FileSystem& files, const std::string& path) {
  auto input = files.OpenForReading(path);
  std::string text;
  text.resize(static_cast<std::size_t>(input->Size()));
  std::size_t got = text.empty() ? 0 : input->Read(text.data(), text.size());
  text.resize(got);
  return text;
}

bool WriteWholeFile(FileSystem& files, const std::string& path, std::string_view bytes) {
  try {
    auto output = files.CreateForWriting(path);
    output->Write(bytes.data(), bytes.size());
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace zev::platform
