// The driver's settings store: sample rate, sample width and buffering, kept per user and per
// host program under HKEY_CURRENT_USER.
#include "KsAsioDriver/driver/ks_asio_settings.h"

#include <algorithm>
#include <cstring>

#include "KsAsioDriver/driver/ks_asio_driver.h"

namespace tx880::asio {

namespace {

constexpr char kSampleRateValue[] = "SampleRate";
constexpr char kWordSizeValue[] = "SampleWordSize";
constexpr char kLatencyValue[] = "Latency";

// The usable rates: positive (the latency arithmetic divides by the rate) and within what a
// WAVEFORMATEX of the device can describe sensibly. 48000 stays usable: a stored rate is run as
// it is even though canSampleRate offers 44100 only.
constexpr DWORD kLowestRate = 8000;
constexpr DWORD kHighestRate = 384000;

class ModuleOwner {
 public:
  explicit ModuleOwner(HMODULE module) : module_(module) {}
  ~ModuleOwner() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  ModuleOwner(const ModuleOwner&) = delete;
  ModuleOwner& operator=(const ModuleOwner&) = delete;
  HMODULE Get() const { return module_; }

 private:
  HMODULE module_;
};

class KeyOwner {
 public:
  KeyOwner() = default;
  ~KeyOwner() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  KeyOwner(const KeyOwner&) = delete;
  KeyOwner& operator=(const KeyOwner&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool ReadDword(HKEY key, const char* name, DWORD& value) {
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof data) {
    return false;
  }
  value = data;
  return true;
}

bool WriteDword(HKEY key, const char* name, long value) {
  const DWORD data = static_cast<DWORD>(value);
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

}  // namespace

void BuildSettingsKey(const char* imageName, char (&key)[kSettingsKeySize]) {
  std::memset(key, 0, sizeof key);
  std::size_t used = sizeof kSettingsBaseKey - 1;
  std::memcpy(key, kSettingsBaseKey, used);
  if (imageName == nullptr) return;
  const char* slash = std::strrchr(imageName, '\\');
  const char* file = slash != nullptr ? slash + 1 : imageName;
  const std::size_t length = std::min(std::strlen(file), sizeof key - 1 - used);
  std::memcpy(key + used, file, length);
}

bool CurrentImageName(char* name, DWORD size) {
  using GetImageName = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD);
  const ModuleOwner psapi(LoadLibraryW(L"Psapi.dll"));
  if (psapi.Get() == nullptr) return false;
  const auto get = reinterpret_cast<GetImageName>(
      reinterpret_cast<void*>(GetProcAddress(psapi.Get(), "GetProcessImageFileNameA")));
  if (get == nullptr) return false;
  const DWORD length = get(GetCurrentProcess(), name, size);
  return length != 0 && length < size;
}

namespace {

void EnsureSettingsKey(char (&key)[kSettingsKeySize]) {
  if (key[0] != '\0') return;
  char image[MAX_PATH] = {};
  BuildSettingsKey(CurrentImageName(image, sizeof image) ? image : nullptr, key);
}

}  // namespace

bool IsUsableSampleRate(DWORD rate) { return rate >= kLowestRate && rate <= kHighestRate; }

bool IsUsableWordSize(DWORD wordSize) { return wordSize == 2 || wordSize == 3; }

// Buffer sizes 64 to 2048 frames.
bool IsUsableLatencySetting(DWORD setting) { return setting <= 5; }

void KsAsioDriver::LoadSettings() {
  EnsureSettingsKey(settingsKey_);
  KeyOwner key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey_, 0, KEY_QUERY_VALUE, key.Out()) !=
      ERROR_SUCCESS) {
    return;
  }
  // Values the driver cannot run with are ignored rather than clamped: the default is a setting
  // the user has seen work, a clamped value is one nobody chose.
  DWORD value = 0;
  if (ReadDword(key.Get(), kSampleRateValue, value) && IsUsableSampleRate(value)) {
    sampleRate_ = static_cast<long>(value);
  }
  if (ReadDword(key.Get(), kWordSizeValue, value) && IsUsableWordSize(value)) {
    wordSize_ = static_cast<long>(value);
  }
  if (ReadDword(key.Get(), kLatencyValue, value) && IsUsableLatencySetting(value)) {
    latencySetting_ = static_cast<long>(value);
    preferredBufferSize_ = BufferSizeOfSetting(latencySetting_);
  }
}

void KsAsioDriver::SaveSettings() {
  EnsureSettingsKey(settingsKey_);  // a driver made from given settings has not built it yet
  KeyOwner key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, settingsKey_, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, key.Out(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  if (!WriteDword(key.Get(), kSampleRateValue, sampleRate_)) return;
  if (!WriteDword(key.Get(), kWordSizeValue, wordSize_)) return;
  WriteDword(key.Get(), kLatencyValue, latencySetting_);
}

}  // namespace tx880::asio
