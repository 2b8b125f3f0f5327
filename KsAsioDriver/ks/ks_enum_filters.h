#pragma once
// Finds the kernel-streaming filters of a device-interface category pair, and the one that
// belongs to the TX880.
#include <windows.h>

#include <memory>
#include <vector>

#include "KsAsioDriver/ks/ks_filter.h"

namespace tx880::ks {

class CKsEnumFilters {
 public:
  CKsEnumFilters() = default;
  virtual ~CKsEnumFilters();
  CKsEnumFilters(const CKsEnumFilters&) = delete;
  CKsEnumFilters& operator=(const CKsEnumFilters&) = delete;

  // categories[0] selects the interfaces; each must have an active alias in categories[1].
  // filterType 1 builds render filters, 2 capture filters, anything else generic ones.
  HRESULT EnumFilters(const GUID* categories, ULONG filterType);
  virtual HRESULT DestroyLists();

  const std::vector<std::unique_ptr<CKsFilter>>& Filters() const { return m_filters; }
  // Unlinks a filter; the caller owns it from then on.
  std::unique_ptr<CKsFilter> TakeFilter(std::size_t index);

 private:
  std::vector<std::unique_ptr<CKsFilter>> m_filters;
};

// The TX880's filter of the type (2 capture, 1 render), opened with its pins enumerated, or
// null when no such device is present.
std::unique_ptr<CKsFilter> OpenDeviceFilter(ULONG filterType);

}  // namespace tx880::ks
