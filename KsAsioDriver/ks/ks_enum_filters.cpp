#include "KsAsioDriver/ks/ks_enum_filters.h"

#include <setupapi.h>
#include <shlwapi.h>

#include <new>

#include "KsAsioDriver/ks/ks_aud_filter.h"
#include "KsAsioDriver/ks/ks_device_path.h"
#include "KsAsioDriver/ks/ks_kernel.h"
#include "KsAsioDriver/ks/ks_list.h"
#include "KsAsioDriver/ks/ks_trace.h"
#include "KsAsioDriver/ks/ks_types.h"

namespace tx880::ks {

#if !defined(_WIN64)
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6);
#endif

namespace {

// The detail record with room for a path of MAX_PATH characters.
constexpr DWORD kDetailSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) + MAX_PATH * sizeof(WCHAR);
#if !defined(_WIN64)
static_assert(kDetailSize == 526);
#endif

// Destroys the device information set through the kernel table.
class DeviceInfoSet {
 public:
  explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
  ~DeviceInfoSet() {
    if (Valid()) Kernel().destroyDeviceInfoList(set_);
  }
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

  bool Valid() const { return set_ != nullptr && set_ != INVALID_HANDLE_VALUE; }
  HDEVINFO Get() const { return set_; }

 private:
  HDEVINFO set_;
};

std::unique_ptr<CKsFilter> NewFilter(const wchar_t* path, ULONG filterType, HRESULT& result) {
  switch (filterType) {
    case kFilterRender:
      return std::unique_ptr<CKsFilter>(new (std::nothrow) CKsAudRenFilter(path, result));
    case kFilterCapture:
      return std::unique_ptr<CKsFilter>(new (std::nothrow) CKsAudCapFilter(path, result));
    default:
      return std::unique_ptr<CKsFilter>(new (std::nothrow) CKsFilter(path, result));
  }
}

// The prefix in the thread's ANSI code page, widened; its length, 0 on failure.
int WidenPrefix(wchar_t (&wide)[MAX_PATH]) {
  const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, DevicePathPrefix, -1, wide, MAX_PATH);
  return length > 0 ? length - 1 : 0;
}

}  // namespace

CKsEnumFilters::~CKsEnumFilters() { CKsEnumFilters::DestroyLists(); }

HRESULT CKsEnumFilters::DestroyLists() {
  m_filters.clear();
  return S_OK;
}

std::unique_ptr<CKsFilter> CKsEnumFilters::TakeFilter(std::size_t index) {
  if (index >= m_filters.size()) return nullptr;
  std::unique_ptr<CKsFilter> filter = std::move(m_filters[index]);
  m_filters.erase(m_filters.begin() + static_cast<std::ptrdiff_t>(index));
  return filter;
}

HRESULT CKsEnumFilters::EnumFilters(const GUID* categories, ULONG filterType) {
  TraceScope trace(L"CKsEnumFilters::EnumFilters");
  HRESULT result = DestroyLists();
  if (categories == nullptr || SameGuid(categories[0], kGuidNull)) return trace.Return(result);

  const KsKernel& kernel = Kernel();
  DeviceInfoSet set(kernel.getClassDevs(&categories[0], nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set.Valid()) {
    TraceMessage(kTraceWarning, L"No devices found");
    return trace.Return(E_FAIL);
  }

  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof(interfaceData);
  for (DWORD index = 0;
       kernel.enumDeviceInterfaces(set.Get(), nullptr, &categories[0], index, &interfaceData);
       ++index, interfaceData.cbSize = sizeof(interfaceData)) {
    std::unique_ptr<std::byte[]> detailBuffer(new (std::nothrow) std::byte[kDetailSize]());
    if (!detailBuffer) {
      TraceMessage(kTraceWarning, L"Failed to allocate SP_DEVICE_INTERFACE_DETAIL_DATA structure");
      result = E_OUTOFMEMORY;
      break;
    }
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detailBuffer.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!kernel.getDeviceInterfaceDetail(set.Get(), &interfaceData, detail, kDetailSize, nullptr,
                                         nullptr)) {
      continue;
    }

    SP_DEVICE_INTERFACE_DATA alias{};
    alias.cbSize = sizeof(alias);
    if (!kernel.getDeviceInterfaceAlias(set.Get(), &interfaceData, &categories[1], &alias)) {
      TraceMessage(kTraceInfo, L"Failed to get requested DeviceInterfaceAlias");
      continue;
    }
    if (alias.Flags == 0 || (alias.Flags & SPINT_REMOVED) != 0) {
      TraceMessage(kTraceInfo, L"DeviceInterfaceAlias disabled.");
      continue;
    }

    HRESULT created = S_OK;
    std::unique_ptr<CKsFilter> filter = NewFilter(detail->DevicePath, filterType, created);
    const bool usable = filter && SUCCEEDED(created) && SUCCEEDED(filter->Instantiate()) &&
                        SUCCEEDED(filter->EnumeratePins());
    if (!usable || !Append(m_filters, std::move(filter))) {
      TraceMessage(kTraceError, L"Failed to create filter for %ls", detail->DevicePath);
    }
  }

  if (SUCCEEDED(result) && m_filters.empty()) result = E_FAIL;
  return trace.Return(result);
}

std::unique_ptr<CKsFilter> OpenDeviceFilter(ULONG filterType) {
  TraceScope trace(L"OpenDeviceFilter");
  const GUID categories[2] = {kCategoryAudio,
                              filterType == kFilterCapture ? kCategoryCapture : kCategoryRender};
  CKsEnumFilters enumerator;
  enumerator.EnumFilters(categories, filterType);

  wchar_t prefix[MAX_PATH];
  const int prefixLength = WidenPrefix(prefix);
  if (prefixLength == 0) return nullptr;
  for (std::size_t index = 0; index < enumerator.Filters().size(); ++index) {
    if (StrCmpNIW(enumerator.Filters()[index]->DevicePath(), prefix, prefixLength) == 0) {
      return enumerator.TakeFilter(index);
    }
  }
  return nullptr;
}

}  // namespace tx880::ks
