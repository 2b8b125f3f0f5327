#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "setup/platform/machine_info.h"
#include "setup/platform/registry.h"

namespace zev {

// Access-mask additions of the registry view flag.
inline constexpr unsigned kRegistryViewNone = 0;
inline constexpr unsigned kRegistryView64 = 0x100;  // KEY_WOW64_64KEY
inline constexpr unsigned kRegistryView32 = 0x200;  // KEY_WOW64_32KEY

inline constexpr std::string_view kTargetWin32 = "Win32";
inline constexpr std::string_view kTargetX64 = "x64";
inline constexpr std::string_view kTargetIa64 = "ia64";

// The engine-wide 64-bit state: the platform the installation targets and the registry view
// flag that the registry and folder commands add to every key they open.
class PlatformMode {
 public:
  const std::string& TargetPlatform() const { return targetPlatform_; }
  void SetTargetPlatform(std::string_view platform) { targetPlatform_ = platform; }
  bool TargetsWin32() const { return targetPlatform_ == kTargetWin32; }

  unsigned RegistryViewFlag() const { return registryViewFlag_; }
  void SetRegistryViewFlag(unsigned flag) { registryViewFlag_ = flag; }
  platform::RegistryView RegistryView() const;

 private:
  std::string targetPlatform_{kTargetWin32};
  unsigned registryViewFlag_ = kRegistryViewNone;
};

// The seam's view for a flag value: 0x100 the 64-bit view, 0x200 the 32-bit one, else the default.
platform::RegistryView RegistryViewOf(unsigned flag);

// Around a command that opens registry keys: the flag selects the view that TargetPlatform asks
// for under WOW64 (nothing elsewhere); afterwards it is back to the 32-bit view under WOW64, 0
// otherwise.
class RegistryViewScope {
 public:
  RegistryViewScope(PlatformMode& mode, platform::MachineInfo& machine);
  ~RegistryViewScope();
  RegistryViewScope(const RegistryViewScope&) = delete;
  RegistryViewScope& operator=(const RegistryViewScope&) = delete;

 private:
  PlatformMode& mode_;
  bool wow64_;
};

// Around a command that touches files: under WOW64, with a 64-bit target, file-system
// redirection is off and restored afterwards; otherwise nothing changes.
class RedirectionScope {
 public:
  RedirectionScope(const PlatformMode& mode, platform::MachineInfo& machine);
  RedirectionScope(const RedirectionScope&) = delete;
  RedirectionScope& operator=(const RedirectionScope&) = delete;

 private:
  std::unique_ptr<platform::FsRedirectionPause> pause_;
};

}  // namespace zev
