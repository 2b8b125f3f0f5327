#include "setup/platform/win32/system_error.h"

#include <array>

namespace zev::win32 {

std::string SystemErrorText(DWORD code) {
  std::array<char, 1024> buffer{};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, buffer.data(),
                                static_cast<DWORD>(buffer.size()), nullptr);
  std::string text(buffer.data(), length);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "System error " + std::to_string(code) + ".";
  return text;
}

}  // namespace zev::win32
