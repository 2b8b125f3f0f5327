#pragma once
// Self-registration: the COM class entries and the ASIO driver list entry.
#include <windows.h>

namespace tx880::asio::com {

inline constexpr char kDriverKeyName[] = "TX880 ASIO driver";
inline constexpr char kClassName[] = "TX880 ASIO";

// Codes of WriteRegistration, RemoveRegistration and the module lookup before them.
inline constexpr int kRegistrationOk = 0;
inline constexpr int kModuleNotLoadedUnderItsName = -101;
inline constexpr int kNoModulePath = -102;
inline constexpr int kClassIdNotText = -103;
inline constexpr int kClassIdNotNarrow = -104;

// 0, or a negative code. Keys and values that cannot be written are not reported.
int WriteRegistration(REFCLSID classId, HMODULE module);
int RemoveRegistration(REFCLSID classId, HMODULE module);

// DllRegisterServer / DllUnregisterServer for the module loaded under moduleFileName.
HRESULT RegisterServer(REFCLSID classId, const char* moduleFileName);
HRESULT UnregisterServer(REFCLSID classId, const char* moduleFileName);

}  // namespace tx880::asio::com
