#pragma once
// The per-user, per-host settings store of the driver: where the settings live and which stored
// values the driver accepts.
#include <windows.h>

#include <cstddef>

namespace tx880::asio {

inline constexpr char kSettingsBaseKey[] = "Software\\Corvane\\TX880 ASIO driver\\";
inline constexpr std::size_t kSettingsKeySize = 260;  // 259 characters and the terminator

// The settings key for a host whose process image is `imageName` (any path form; only the text
// after the last backslash counts). A null name gives the base key alone. Cut to 259 characters.
void BuildSettingsKey(const char* imageName, char (&key)[kSettingsKeySize]);

// The current process's image name through Psapi.dll's GetProcessImageFileNameA; false when the
// library, the function or the call fails.
bool CurrentImageName(char* name, DWORD size);

// Stored values the driver can run with; anything else keeps the default.
bool IsUsableSampleRate(DWORD rate);
bool IsUsableWordSize(DWORD wordSize);
bool IsUsableLatencySetting(DWORD setting);

}  // namespace tx880::asio
