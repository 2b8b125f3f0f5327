#pragma once
// The kernel-streaming records, codes and identifiers the driver relies on. The structures come
// from the toolchain's <ks.h>/<ksmedia.h>; the identifiers are our own constants so that they
// can be compared at compile time and do not depend on a GUID library.
#include <windows.h>

#include <mmreg.h>
#include <ks.h>
#include <ksmedia.h>

#include <cstddef>

namespace tx880::ks {

inline constexpr DWORD kIoctlKsProperty = 0x2F0003;
inline constexpr DWORD kIoctlKsReadStream = 0x2F4017;
inline constexpr DWORD kIoctlKsWriteStream = 0x2F8013;

inline constexpr ULONG kPropertyTypeGet = 1;
inline constexpr ULONG kPropertyTypeSet = 2;

inline constexpr ULONG kPinCInstances = 0;
inline constexpr ULONG kPinCTypes = 1;
inline constexpr ULONG kPinDataFlow = 2;
inline constexpr ULONG kPinDataRanges = 3;
inline constexpr ULONG kPinInterfaces = 5;
inline constexpr ULONG kPinMediums = 6;
inline constexpr ULONG kPinCommunication = 7;
inline constexpr ULONG kPinGlobalCInstances = 8;
inline constexpr ULONG kPinCategory = 11;
inline constexpr ULONG kPinName = 12;
inline constexpr ULONG kTopologyNodes = 1;
inline constexpr ULONG kConnectionState = 0;

// Desired access of a pin instance: read data and write data.
inline constexpr ACCESS_MASK kPinAccess = 3;

inline constexpr GUID kGuidNull{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr GUID kPropSetPin{
    0x8C134960, 0x51AD, 0x11CF, {0x87, 0x8A, 0x94, 0xF8, 0x01, 0xC1, 0x00, 0x00}};
inline constexpr GUID kPropSetTopology{
    0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
inline constexpr GUID kPropSetConnection{
    0x1D58C920, 0xAC9B, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
inline constexpr GUID kCategoryAudio{
    0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
inline constexpr GUID kCategoryCapture{
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
inline constexpr GUID kCategoryRender{
    0x65E8773E, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
inline constexpr GUID kInterfaceSetStandard{
    0x1A8766A0, 0x62CE, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
inline constexpr GUID kMediumSetStandard{
    0x4747B320, 0x62CE, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
inline constexpr GUID kFormatTypeAudio{
    0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID kSubtypePcm{
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID kSpecifierWaveFormatEx{
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

inline constexpr ULONG kInterfaceStandardStreaming = 0;
inline constexpr ULONG kInterfaceStandardLooped = 1;
inline constexpr ULONG kMediumAnyInstance = 0;
inline constexpr ULONG kPriorityNormal = 0x40000000;

// The subformat that carries a plain wave format tag: {tag-0000-0010-8000-00AA00389B71}.
constexpr GUID WaveFormatTagGuid(WORD tag) {
  return GUID{tag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

constexpr bool SameGuid(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}

// Layouts the device and the connect buffer depend on.
static_assert(sizeof(KSPROPERTY) == 24);
static_assert(sizeof(KSP_PIN) == 32);
static_assert(offsetof(KSP_PIN, PinId) == 24);
static_assert(sizeof(KSMULTIPLE_ITEM) == 8);
static_assert(sizeof(KSPIN_INTERFACE) == 24 && sizeof(KSPIN_MEDIUM) == 24);
static_assert(sizeof(KSPIN_CINSTANCES) == 8);
static_assert(sizeof(KSDATAFORMAT) == 64);
static_assert(offsetof(KSDATAFORMAT, SampleSize) == 8);
static_assert(offsetof(KSDATAFORMAT, MajorFormat) == 16);
static_assert(offsetof(KSDATAFORMAT, SubFormat) == 32);
static_assert(offsetof(KSDATAFORMAT, Specifier) == 48);
static_assert(offsetof(KSDATARANGE_AUDIO, MaximumSampleFrequency) == 80);
static_assert(sizeof(KSDATARANGE_AUDIO) == 88);  // padded to the union's 8-byte alignment
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);
// A KSDATAFORMAT followed by a plain WAVEFORMATEX, as first sent to the pin.
static_assert(sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX) == 82);
static_assert(offsetof(KSPIN_CONNECT, Medium) == 24);
static_assert(offsetof(KSPIN_CONNECT, PinId) == 48);
static_assert(sizeof(GUID) == 16);
#if defined(_WIN64)
static_assert(offsetof(KSPIN_CONNECT, PinToHandle) == 56);
static_assert(sizeof(KSPIN_CONNECT) == 72);
static_assert(sizeof(KSSTREAM_HEADER) == 56);
#else
static_assert(offsetof(KSPIN_CONNECT, PinToHandle) == 52);
static_assert(offsetof(KSPIN_CONNECT, Priority) == 56);
static_assert(sizeof(KSPIN_CONNECT) == 64);
static_assert(sizeof(KSSTREAM_HEADER) == 48);
static_assert(offsetof(KSSTREAM_HEADER, Data) == 40);
#endif

}  // namespace tx880::ks
