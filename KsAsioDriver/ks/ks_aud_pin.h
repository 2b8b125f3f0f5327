#pragma once
// Audio pins: the PCM data ranges a pin offers, the wave format it is given and the connect
// buffer it is instantiated with.
#include <windows.h>

#include <ks.h>
#include <ksmedia.h>
#include <mmreg.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "KsAsioDriver/ks/ks_pin.h"
#include "KsAsioDriver/ks/ks_types.h"

namespace tx880::ks {

// Connect buffer: KSPIN_CONNECT, KSDATAFORMAT, then the wave format.
inline constexpr DWORD kConnectDataFormatOffset = sizeof(KSPIN_CONNECT);
inline constexpr DWORD kConnectWaveFormatOffset = sizeof(KSPIN_CONNECT) + sizeof(KSDATAFORMAT);
#if !defined(_WIN64)
static_assert(kConnectDataFormatOffset == 64 && kConnectWaveFormatOffset == 128);
#endif

class CKsAudPin : public CKsPin {
 public:
  CKsAudPin(CKsFilter* filter, ULONG pinId, HRESULT& result);
  ~CKsAudPin() override;

  // Keeps the pin's PCM audio data ranges; fails without a standard interface and medium.
  HRESULT Init();
  HRESULT SetFormat(const WAVEFORMATEX* format);
  bool IsFormatSupported(const WAVEFORMATEX* format) const;

  const std::vector<KSDATARANGE_AUDIO>& AudioDataRanges() const { return m_audioDataRanges; }
  const WAVEFORMATEX* CurrentFormat() const {
    return reinterpret_cast<const WAVEFORMATEX*>(m_currentFormat.get());
  }

 protected:
  std::vector<KSDATARANGE_AUDIO> m_audioDataRanges;
  std::unique_ptr<std::byte[]> m_currentFormat;
  // The KSDATAFORMAT inside the connect buffer.
  KSDATAFORMAT* m_pksDataFormatWfx = nullptr;

 private:
  HRESULT BuildConnectBuffer();
};

class CKsAudRenPin : public CKsAudPin {
 public:
  CKsAudRenPin(CKsFilter* filter, ULONG pinId, HRESULT& result);
};

class CKsAudCapPin : public CKsAudPin {
 public:
  CKsAudCapPin(CKsFilter* filter, ULONG pinId, HRESULT& result);
};

}  // namespace tx880::ks
