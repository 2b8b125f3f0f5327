// Device-interface enumeration as SetupAPI answers it for kernel-streaming filters.
#include "KsAsioDriver/sim/sim_state.h"

#include <cstring>

namespace tx880::sim {

namespace {

bool Same(const GUID* a, const GUID& b) { return a != nullptr && IsEqualGUID(*a, b); }

// Which interfaces a category lists: every filter is an audio interface; the capture and
// render categories hold the filters whose alias there is present.
bool Lists(const GUID* category, const SimFilterDescription& filter) {
  if (Same(category, KSCATEGORY_AUDIO)) return true;
  if (Same(category, KSCATEGORY_CAPTURE)) return filter.captureAlias == AliasState::Present;
  if (Same(category, KSCATEGORY_RENDER)) return filter.renderAlias == AliasState::Present;
  return false;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

HDEVINFO SimKsSystem::State::GetClassDevs(const GUID* category) {
  if (const DWORD error = CountRequest(RequestKind::Enumerate)) {
    SetLastError(error);
    return static_cast<HDEVINFO>(INVALID_HANDLE_VALUE);
  }
  DeviceSet set;
  for (std::size_t i = 0; i < filters.size(); ++i) {
    if (Lists(category, filters[i])) set.filters.push_back(i);
  }
  const std::size_t id = nextSetId++;
  sets.emplace(id, std::move(set));
  return static_cast<HDEVINFO>(AddHandle(HandleKind::Set, id));
}

BOOL SimKsSystem::State::EnumInterfaces(HDEVINFO set, const GUID* category, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA data) {
  const HandleEntry* entry = FindHandle(set);
  if (entry == nullptr || entry->kind != HandleKind::Set) return Fail(ERROR_INVALID_HANDLE);
  if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    return Fail(ERROR_INVALID_USER_BUFFER);
  }
  const DeviceSet& devices = sets.at(entry->index);
  // The set only holds interfaces of the category it was made for.
  std::size_t seen = 0;
  for (const std::size_t filterIndex : devices.filters) {
    if (!Lists(category, filters[filterIndex])) continue;
    if (seen++ != index) continue;
    data->InterfaceClassGuid = *category;
    data->Flags = SPINT_ACTIVE;
    data->Reserved = filterIndex + 1;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  return Fail(ERROR_NO_MORE_ITEMS);
}

const SimFilterDescription* SimKsSystem::State::InterfaceFilter(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data) {
  const HandleEntry* entry = FindHandle(set);
  if (entry == nullptr || entry->kind != HandleKind::Set || data == nullptr) return nullptr;
  const DeviceSet& devices = sets.at(entry->index);
  for (const std::size_t filterIndex : devices.filters) {
    if (data->Reserved == filterIndex + 1) return &filters[filterIndex];
  }
  return nullptr;
}

BOOL SimKsSystem::State::InterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                         PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                         PDWORD requiredSize) {
  const SimFilterDescription* filter = InterfaceFilter(set, data);
  if (filter == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const DWORD pathBytes = static_cast<DWORD>((filter->devicePath.size() + 1) * sizeof(wchar_t));
  const DWORD needed = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + pathBytes;
  if (requiredSize != nullptr) *requiredSize = needed;
  if (detail == nullptr && detailSize == 0) return Fail(ERROR_INSUFFICIENT_BUFFER);
  // cbSize is the size of the fixed part (6 on 32-bit Windows, 8 on 64-bit), not of the buffer.
  if (detail == nullptr || detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
    return Fail(ERROR_INVALID_USER_BUFFER);
  }
  if (detailSize < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(detail->DevicePath, filter->devicePath.c_str(), pathBytes);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL SimKsSystem::State::InterfaceAlias(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data, const GUID* aliasClass,
                                        PSP_DEVICE_INTERFACE_DATA alias) {
  const SimFilterDescription* filter = InterfaceFilter(set, data);
  if (filter == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (alias == nullptr || alias->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    return Fail(ERROR_INVALID_USER_BUFFER);
  }
  AliasState state = AliasState::Missing;
  if (Same(aliasClass, KSCATEGORY_CAPTURE)) state = filter->captureAlias;
  if (Same(aliasClass, KSCATEGORY_RENDER)) state = filter->renderAlias;
  if (Same(aliasClass, KSCATEGORY_AUDIO)) state = AliasState::Present;
  switch (state) {
    case AliasState::Missing: return Fail(ERROR_NO_SUCH_DEVICE_INTERFACE);
    case AliasState::Inactive: alias->Flags = 0; break;
    case AliasState::Removed: alias->Flags = SPINT_ACTIVE | SPINT_REMOVED; break;
    case AliasState::Present: alias->Flags = SPINT_ACTIVE; break;
  }
  alias->InterfaceClassGuid = *aliasClass;
  alias->Reserved = data->Reserved;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL SimKsSystem::State::DestroySet(HDEVINFO set) {
  const HandleEntry* entry = FindHandle(set);
  if (entry == nullptr || entry->kind != HandleKind::Set) return Fail(ERROR_INVALID_HANDLE);
  sets.erase(entry->index);
  handles.erase(set);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace tx880::sim
