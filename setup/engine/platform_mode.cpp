#include "setup/engine/platform_mode.h"

namespace zev {

platform::RegistryView PlatformMode::RegistryView() const {
  return RegistryViewOf(registryViewFlag_);
}

platform::RegistryView RegistryViewOf(unsigned flag) {
  if (flag & kRegistryView64) return platform::RegistryView::Force64;
  if (flag & kRegistryView32) return platform::RegistryView::Force32;
  return platform::RegistryView::Default;
}

RegistryViewScope::RegistryViewScope(PlatformMode& mode, platform::MachineInfo& machine)
    : mode_(mode), wow64_(machine.IsWow64()) {
  unsigned flag = kRegistryViewNone;
  if (wow64_) flag = mode_.TargetsWin32() ? kRegistryView32 : kRegistryView64;
  mode_.SetRegistryViewFlag(flag);
}

RegistryViewScope::~RegistryViewScope() {
  mode_.SetRegistryViewFlag(wow64_ ? kRegistryView32 : kRegistryViewNone);
}

RedirectionScope::RedirectionScope(const PlatformMode& mode, platform::MachineInfo& machine) {
  if (machine.IsWow64() && !mode.TargetsWin32()) pause_ = machine.PauseFsRedirection();
}

}  // namespace zev
