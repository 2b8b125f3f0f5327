// Filter files and the property requests a filter and its pin instances answer.
#include "KsAsioDriver/sim/sim_state.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace tx880::sim {

namespace {

using Bytes = std::vector<std::uint8_t>;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

void AppendRaw(Bytes& bytes, const void* raw, std::size_t size) {
  const std::size_t at = bytes.size();
  bytes.resize(at + size);
  std::memcpy(bytes.data() + at, raw, size);
}

template <typename T>
void Append(Bytes& bytes, const T& value) {
  AppendRaw(bytes, &value, sizeof(T));
}

template <typename T>
Bytes Single(const T& value) {
  Bytes bytes;
  Append(bytes, value);
  return bytes;
}

// A KSMULTIPLE_ITEM: Size (header included), Count, then the items.
template <typename T>
Bytes Multiple(const std::vector<T>& items) {
  Bytes bytes(sizeof(KSMULTIPLE_ITEM));
  for (const T& item : items) Append(bytes, item);
  const KSMULTIPLE_ITEM header{static_cast<ULONG>(bytes.size()), static_cast<ULONG>(items.size())};
  std::memcpy(bytes.data(), &header, sizeof(header));
  return bytes;
}

// Data ranges are variable-sized; each starts on an 8-byte boundary.
Bytes DataRanges(const std::vector<SimDataRange>& ranges) {
  Bytes bytes(sizeof(KSMULTIPLE_ITEM));
  for (const SimDataRange& range : ranges) {
    bytes.resize((bytes.size() + 7) & ~std::size_t{7});
    KSDATARANGE_AUDIO audio{};
    audio.DataRange.FormatSize = range.audio ? sizeof(KSDATARANGE_AUDIO) : sizeof(KSDATARANGE);
    audio.DataRange.MajorFormat = range.majorFormat;
    audio.DataRange.SubFormat = range.subFormat;
    audio.DataRange.Specifier = range.specifier;
    audio.MaximumChannels = range.maximumChannels;
    audio.MinimumBitsPerSample = range.minimumBitsPerSample;
    audio.MaximumBitsPerSample = range.maximumBitsPerSample;
    audio.MinimumSampleFrequency = range.minimumSampleFrequency;
    audio.MaximumSampleFrequency = range.maximumSampleFrequency;
    AppendRaw(bytes, &audio, audio.DataRange.FormatSize);
  }
  const KSMULTIPLE_ITEM header{static_cast<ULONG>(bytes.size()), static_cast<ULONG>(ranges.size())};
  std::memcpy(bytes.data(), &header, sizeof(header));
  return bytes;
}

Bytes Name(const std::wstring& name) {
  Bytes bytes;
  AppendRaw(bytes, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  return bytes;
}

}  // namespace

HANDLE SimKsSystem::State::OpenFilter(LPCWSTR path) {
  if (const DWORD error = CountRequest(RequestKind::Open)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  for (std::size_t i = 0; i < filters.size(); ++i) {
    if (path == nullptr || _wcsicmp(filters[i].devicePath.c_str(), path) != 0) continue;
    if (filters[i].openError != 0) {
      SetLastError(filters[i].openError);
      return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = AddHandle(HandleKind::Filter, i);
    SetLastError(ERROR_SUCCESS);
    return handle;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}

BOOL SimKsSystem::State::Close(HANDLE handle) {
  HandleEntry* entry = FindHandle(handle);
  if (entry->kind == HandleKind::Pin) {
    PinRecord& pin = pins[entry->index];
    CancelPackets(pin);
    pin.instance.open = false;
  }
  if (entry->kind == HandleKind::Set) sets.erase(entry->index);
  handles.erase(handle);
  return TRUE;
}

BOOL SimKsSystem::State::Ioctl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                               LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
  HandleEntry* entry = FindHandle(device);
  if (entry == nullptr || entry->kind == HandleKind::Set) return Fail(ERROR_INVALID_HANDLE);
  if (code == IOCTL_KS_READ_STREAM || code == IOCTL_KS_WRITE_STREAM) {
    const bool read = code == IOCTL_KS_READ_STREAM;
    if (const DWORD error = CountRequest(read ? RequestKind::ReadStream : RequestKind::WriteStream)) {
      return Fail(error);
    }
    if (entry->kind != HandleKind::Pin) return Fail(ERROR_INVALID_FUNCTION);
    return SubmitPacket(pins[entry->index], read, outSize, out, overlapped);
  }
  if (code != IOCTL_KS_PROPERTY) return Fail(ERROR_INVALID_FUNCTION);
  if (in == nullptr || inSize < sizeof(KSPROPERTY)) return Fail(ERROR_INVALID_PARAMETER);
  KSPROPERTY property;
  std::memcpy(&property, in, sizeof(property));
  if (entry->kind == HandleKind::Filter) {
    return FilterProperty(entry->index, property, inSize, in, out, outSize, bytesReturned, overlapped);
  }
  return PinHandleProperty(pins[entry->index], property, out, outSize, bytesReturned, overlapped);
}

BOOL SimKsSystem::State::FilterProperty(std::size_t filterIndex, const KSPROPERTY& property, DWORD inSize,
                                        LPVOID in, LPVOID out, DWORD outSize, LPDWORD bytesReturned,
                                        LPOVERLAPPED overlapped) {
  const SimFilterDescription& filter = filters[filterIndex];
  Bytes reply;
  if (IsEqualGUID(property.Set, KSPROPSETID_Pin)) {
    if (const DWORD error = CountRequest(RequestKind::PinProperty)) return Fail(error);
    if (property.Flags != KSPROPERTY_TYPE_GET) return Fail(ERROR_INVALID_FUNCTION);
    if (property.Id == KSPROPERTY_PIN_CTYPES) {
      reply = Single(static_cast<ULONG>(filter.pins.size()));
    } else {
      if (inSize < sizeof(KSP_PIN)) return Fail(ERROR_INVALID_PARAMETER);
      KSP_PIN request;
      std::memcpy(&request, in, sizeof(request));
      if (request.PinId >= filter.pins.size()) return Fail(ERROR_INVALID_PARAMETER);
      const SimPin& pin = filter.pins[request.PinId];
      if (std::ranges::find(pin.unreadable, property.Id) != pin.unreadable.end()) {
        return Fail(ERROR_NOT_FOUND);
      }
      const auto current = static_cast<ULONG>(std::ranges::count_if(pins, [&](const PinRecord& record) {
        return record.instance.open && record.filterIndex == filterIndex && record.instance.pinId == request.PinId;
      }));
      switch (property.Id) {
        case KSPROPERTY_PIN_CINSTANCES: reply = Single(KSPIN_CINSTANCES{pin.instances.PossibleCount, current}); break;
        case KSPROPERTY_PIN_GLOBALCINSTANCES:
          reply = Single(KSPIN_CINSTANCES{pin.globalInstances.PossibleCount, current});
          break;
        case KSPROPERTY_PIN_DATAFLOW: reply = Single(pin.dataFlow); break;
        case KSPROPERTY_PIN_COMMUNICATION: reply = Single(pin.communication); break;
        case KSPROPERTY_PIN_CATEGORY: reply = Single(pin.category); break;
        case KSPROPERTY_PIN_NAME: reply = Name(pin.name); break;
        case KSPROPERTY_PIN_INTERFACES: reply = Multiple(pin.interfaces); break;
        case KSPROPERTY_PIN_MEDIUMS: reply = Multiple(pin.mediums); break;
        case KSPROPERTY_PIN_DATARANGES: reply = DataRanges(pin.ranges); break;
        default: return Fail(ERROR_NOT_FOUND);
      }
    }
  } else if (IsEqualGUID(property.Set, kTopologyPropertySet)) {
    if (const DWORD error = CountRequest(RequestKind::TopologyProperty)) return Fail(error);
    if (property.Flags != KSPROPERTY_TYPE_GET) return Fail(ERROR_INVALID_FUNCTION);
    if (property.Id != KSPROPERTY_TOPOLOGY_NODES) return Fail(ERROR_NOT_FOUND);
    reply = Multiple(filter.nodes);
  } else {
    return Fail(ERROR_SET_NOT_FOUND);
  }

  const auto needed = static_cast<DWORD>(reply.size());
  if (out == nullptr || outSize < needed) {
    if (bytesReturned != nullptr) *bytesReturned = needed;
    return Fail(outSize == 0 ? ERROR_MORE_DATA : ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(out, reply.data(), needed);
  return CompleteProperty(needed, bytesReturned, overlapped);
}

BOOL SimKsSystem::State::PinHandleProperty(PinRecord& pin, const KSPROPERTY& property, LPVOID out, DWORD outSize,
                                           LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
  if (!IsEqualGUID(property.Set, KSPROPSETID_Connection)) return Fail(ERROR_SET_NOT_FOUND);
  if (const DWORD error = CountRequest(RequestKind::ConnectionState)) return Fail(error);
  if (property.Id != KSPROPERTY_CONNECTION_STATE) return Fail(ERROR_NOT_FOUND);
  if (out == nullptr || outSize < sizeof(KSSTATE)) {
    if (bytesReturned != nullptr) *bytesReturned = sizeof(KSSTATE);
    return Fail(outSize == 0 ? ERROR_MORE_DATA : ERROR_INSUFFICIENT_BUFFER);
  }
  if (property.Flags == KSPROPERTY_TYPE_GET) {
    std::memcpy(out, &pin.instance.state, sizeof(KSSTATE));
    return CompleteProperty(sizeof(KSSTATE), bytesReturned, overlapped);
  }
  if (property.Flags != KSPROPERTY_TYPE_SET) return Fail(ERROR_INVALID_FUNCTION);
  ULONG state;
  std::memcpy(&state, out, sizeof(state));
  if (state > KSSTATE_RUN) return Fail(ERROR_INVALID_PARAMETER);
  SetPinState(pin, static_cast<KSSTATE>(state));
  return CompleteProperty(0, bytesReturned, overlapped);
}

}  // namespace tx880::sim
