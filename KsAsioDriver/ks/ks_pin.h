#pragma once
// One pin of a filter: its properties, its instance, its state and its stream packets.
#include <windows.h>

#include <ks.h>

#include <cstddef>
#include <memory>

#include "KsAsioDriver/ks/ks_irp_target.h"

namespace tx880::ks {

class CKsFilter;

enum KsPinType : ULONG { kPinGeneric = 0, kPinRender = 1, kPinCapture = 2 };

class CKsPin : public CKsIrpTarget {
 public:
  CKsPin(CKsFilter* filter, ULONG pinId, HRESULT& result);
  virtual ~CKsPin();

  virtual HRESULT Instantiate(BOOL looped);
  virtual HRESULT SetState(KSSTATE state);

  // Reads every pin property; 1 (still a success) when any could not be read.
  HRESULT Init();
  void ClosePin();
  HRESULT ReadData(KSSTREAM_HEADER* header, OVERLAPPED* overlapped);
  HRESULT WriteData(KSSTREAM_HEADER* header, OVERLAPPED* overlapped);

  KSSTATE GetState() const { return m_state; }
  KSPIN_DATAFLOW GetDataFlow() const { return m_dataFlow; }
  KSPIN_COMMUNICATION GetCommunication() const { return m_communication; }

  ULONG PinId() const { return m_pinId; }
  ULONG PinType() const { return m_pinType; }
  CKsFilter* Filter() const { return m_filter; }
  const GUID& Category() const { return m_category; }
  const wchar_t* Name() const { return m_name; }
  const KSPIN_CINSTANCES& Instances() const { return m_instances; }
  const KSPIN_CINSTANCES& GlobalInstances() const { return m_globalInstances; }
  ULONG InterfaceCount() const { return m_interfaceCount; }
  const KSPIN_INTERFACE* Interfaces() const { return m_interfaces; }
  ULONG MediumCount() const { return m_mediumCount; }
  const KSPIN_MEDIUM* Mediums() const { return m_mediums; }
  ULONG DataRangeCount() const { return m_dataRangeCount; }
  const KSDATARANGE* DataRanges() const { return m_dataRanges; }
  const std::byte* ConnectBuffer() const { return m_connect.get(); }
  DWORD ConnectSize() const { return m_connectSize; }
  BOOL Looped() const { return m_looped; }

 protected:
  friend HRESULT RunPinPair(CKsPin* pins[2]);

  // KSPIN_CONNECT followed by the data format; null for a generic pin.
  std::unique_ptr<std::byte[]> m_connect;
  DWORD m_connectSize = 0;
  ULONG m_pinId;
  CKsFilter* m_filter;
  GUID m_category{};

  std::unique_ptr<std::byte[]> m_interfaceBuffer;
  ULONG m_interfaceCount = 0;
  const KSPIN_INTERFACE* m_interfaces = nullptr;
  std::unique_ptr<std::byte[]> m_mediumBuffer;
  ULONG m_mediumCount = 0;
  const KSPIN_MEDIUM* m_mediums = nullptr;
  std::unique_ptr<std::byte[]> m_dataRangeBuffer;
  DWORD m_dataRangeBufferSize = 0;
  ULONG m_dataRangeCount = 0;
  const KSDATARANGE* m_dataRanges = nullptr;

  KSPIN_DATAFLOW m_dataFlow{};
  KSPIN_COMMUNICATION m_communication{};
  KSPIN_CINSTANCES m_instances{};
  KSPIN_CINSTANCES m_globalInstances{};
  ULONG m_pinType = kPinGeneric;
  KSSTATE m_state = KSSTATE_STOP;
  wchar_t m_name[MAX_PATH] = {};
  BOOL m_looped = FALSE;
  // Used as PinToHandle when set; nothing in the driver connects pins to each other.
  CKsPin* m_connectTo = nullptr;
};

// Sets both pins to KSSTATE_RUN with their requests in flight together (capture pin first).
HRESULT RunPinPair(CKsPin* pins[2]);

}  // namespace tx880::ks
