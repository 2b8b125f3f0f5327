#include "setup/platform/win32/win32_installer.h"

#include <vector>

#include "setup/platform/win32/dynamic_function.h"
#include "setup/platform/win32/process_setup.h"

namespace zev::win32 {

namespace {

using QueryProductStateFunction = int(WINAPI*)(LPCSTR);
using GetProductInfoFunction = UINT(WINAPI*)(LPCSTR, LPCSTR, LPSTR, LPDWORD);

constexpr int kInstallStateUnknown = -1;

}  // namespace

HMODULE Win32Installer::Msi() {
  if (!bound_) {
    msi_ = LoadSystemLibrary("msi.dll");
    bound_ = true;
  }
  return msi_.Get();
}

int Win32Installer::QueryProductState(const std::string& productCode) {
  auto query = FindFunction<QueryProductStateFunction>(Msi(), "MsiQueryProductStateA");
  return query ? query(productCode.c_str()) : kInstallStateUnknown;
}

std::optional<std::string> Win32Installer::GetProductInfo(const std::string& productCode,
                                                          const std::string& property) {
  auto get = FindFunction<GetProductInfoFunction>(Msi(), "MsiGetProductInfoA");
  if (!get) return std::nullopt;
  std::vector<char> value(64);
  for (;;) {
    DWORD length = static_cast<DWORD>(value.size());
    UINT status = get(productCode.c_str(), property.c_str(), value.data(), &length);
    if (status == ERROR_SUCCESS) return std::string(value.data(), length);
    // The length then counts the characters without the terminating null.
    if (status != ERROR_MORE_DATA) return std::nullopt;
    value.resize(length + 1);
  }
}

}  // namespace zev::win32
