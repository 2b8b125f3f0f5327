#pragma once
// Audio filters: pins sorted into render and capture pins, and the one pin that takes the
// driver's wave format.
#include <windows.h>

#include <mmreg.h>

#include "KsAsioDriver/ks/ks_filter.h"

namespace tx880::ks {

class CKsAudPin;

class CKsAudFilter : public CKsFilter {
 public:
  CKsAudFilter(const wchar_t* devicePath, HRESULT& result) : CKsFilter(devicePath, result) {}
  HRESULT EnumeratePins() override;

 protected:
  // The first pin of the list that accepts the format.
  CKsAudPin* FindViablePinIn(PinList list, const WAVEFORMATEX* format) const;
};

class CKsAudRenFilter : public CKsAudFilter {
 public:
  CKsAudRenFilter(const wchar_t* devicePath, HRESULT& result);
  CKsAudPin* FindViablePin(const WAVEFORMATEX* format) const;
  // An instantiated render pin, still owned by the filter; null when no render-sink pin takes
  // the format.
  CKsAudPin* CreateRenderPin(const WAVEFORMATEX* format);
};

class CKsAudCapFilter : public CKsAudFilter {
 public:
  CKsAudCapFilter(const wchar_t* devicePath, HRESULT& result);
  CKsAudPin* FindViablePin(const WAVEFORMATEX* format) const;
  // An instantiated capture pin, still owned by the filter, or null.
  CKsAudPin* CreateCapturePin(const WAVEFORMATEX* format);
};

}  // namespace tx880::ks
