#include "setup/platform/sim/sim_system_info.h"

namespace zev::sim {

namespace {

// Code points of bytes 0x80 to 0x9F in Windows-1252; the undefined ones map to themselves.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

OsProfile OsProfile::WindowsXp() {
  OsProfile profile;
  profile.version = {5, 1, 2600, true};
  return profile;
}

OsProfile OsProfile::Windows7() {
  OsProfile profile;
  profile.version = {6, 1, 7601, true};
  profile.tempFolder = "C:\\Users\\User\\AppData\\Local\\Temp";
  return profile;
}

OsProfile OsProfile::Windows98() {
  OsProfile profile;
  profile.version = {4, 10, 2222, false};
  profile.tempFolder = "C:\\WINDOWS\\TEMP";
  profile.canPinProcessor = false;
  return profile;
}

bool SimSystemInfo::PinToFirstProcessor() {
  pinnedToFirstProcessor = profile_.canPinProcessor;
  return pinnedToFirstProcessor;
}

int SimSystemInfo::UserLanguageId(bool defaultLanguage) {
  return defaultLanguage ? profile_.userDefaultLanguage : profile_.userLanguage;
}

std::string SimSystemInfo::EnglishLanguageName(int languageId) {
  auto found = englishLanguageNames.find(languageId);
  return found == englishLanguageNames.end() ? std::string() : found->second;
}

std::u16string SimSystemInfo::AnsiToUtf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    wide += (byte >= 0x80 && byte < 0xA0) ? kWindows1252High[byte - 0x80] : char16_t{byte};
  }
  return wide;
}

}  // namespace zev::sim
