#pragma once
// One kernel-streaming filter: opened by device path, its pins enumerated and classified, its
// topology nodes listed.
#include <windows.h>

#include <ks.h>

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "KsAsioDriver/ks/ks_irp_target.h"

namespace tx880::ks {

class CKsPin;

struct CKsNode {
  ULONG m_nodeIndex = 0;
  DWORD m_tag = 0;  // 'N','O','N','E' in memory order
  GUID m_nodeType{};
};

inline constexpr DWORD kNodeTag = 'N' | ('O' << 8) | ('N' << 16) | (DWORD{'E'} << 24);

enum KsFilterType : ULONG { kFilterGeneric = 0, kFilterRender = 1, kFilterCapture = 2 };

// The classified pin lists; they refer to pins of the pin list.
enum class PinList { RenderSink, CaptureSource, CaptureSink, RenderSource, Other };

class CKsFilter : public CKsIrpTarget {
 public:
  CKsFilter(const wchar_t* devicePath, HRESULT& result);
  virtual ~CKsFilter();

  virtual HRESULT Instantiate();
  virtual HRESULT EnumerateNodes();
  virtual HRESULT EnumeratePins();
  virtual HRESULT DestroyLists();

  HRESULT ClassifyPins();
  HRESULT GetPinPropertySimple(ULONG pinId, ULONG propertyId, void* buffer, DWORD size);
  // A variable-size pin property into a new buffer; size receives its length when not null.
  HRESULT GetPinPropertyMulti(ULONG pinId, ULONG propertyId, std::unique_ptr<std::byte[]>& buffer,
                              DWORD* size = nullptr);

  const wchar_t* DevicePath() const { return m_devicePath; }
  ULONG FilterType() const { return m_filterType; }
  const std::vector<std::unique_ptr<CKsPin>>& Pins() const { return m_pins; }
  const std::vector<CKsPin*>& PinsOf(PinList list) const {
    return m_classified[static_cast<std::size_t>(list)];
  }
  const std::vector<CKsNode>& Nodes() const { return m_nodes; }

 protected:
  std::vector<CKsPin*>& ClassifiedList(PinList list) {
    return m_classified[static_cast<std::size_t>(list)];
  }
  bool NoClassifiedPins(bool countOtherPins) const;

  std::vector<CKsNode> m_nodes;
  std::vector<std::unique_ptr<CKsPin>> m_pins;  // in pin-id order
  std::array<std::vector<CKsPin*>, 5> m_classified;
  ULONG m_filterType = kFilterGeneric;
  wchar_t m_devicePath[MAX_PATH] = {};
};

}  // namespace tx880::ks
