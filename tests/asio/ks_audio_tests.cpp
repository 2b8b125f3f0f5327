// Audio filters and pins against the simulated device: which pins are kept, which formats they
// accept, the connect buffer they are created with, and how render and capture pins are found.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "KsAsioDriver/ks/ks_aud_filter.h"
#include "KsAsioDriver/ks/ks_aud_pin.h"
#include "KsAsioDriver/ks/ks_stream_format.h"
#include "ks_test_support.h"

namespace tx880::ks {
namespace {

using sim::RequestKind;
using sim::SimDataRange;
using sim::SimPin;
using test::Filter;
using test::Pin;
using test::PcmRange;
using test::Tx880Path;

template <typename T>
T At(const std::byte* bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes + offset, sizeof(T));
  return value;
}

// One simulated device with one filter of the given pins, opened as a render or capture filter.
template <typename AudioFilter>
struct Opened {
  explicit Opened(std::vector<SimPin> pins) {
    device.AddFilter(Filter(Tx880Path(), std::move(pins)));
    filter = std::make_unique<AudioFilter>(Tx880Path().c_str(), constructed);
    opened = filter->Instantiate();
    enumerated = filter->EnumeratePins();
  }
  CKsAudPin* AudioPin(std::size_t index) const {
    return dynamic_cast<CKsAudPin*>(filter->Pins().at(index).get());
  }

  sim::SimKsSystem device;
  std::unique_ptr<AudioFilter> filter;
  HRESULT constructed = E_FAIL;
  HRESULT opened = E_FAIL;
  HRESULT enumerated = E_FAIL;
};

SimPin RenderSink(std::vector<SimDataRange> ranges = {}) {
  return Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK, std::move(ranges));
}
SimPin CaptureSink(std::vector<SimDataRange> ranges = {}) {
  return Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SINK, std::move(ranges));
}

const WAVEFORMATEX* Head(const WAVEFORMATEXTENSIBLE& format) { return &format.Format; }

// --- Which pins an audio filter keeps ---------------------------------------------------------

TEST(KsAudioFilter, PinClassesFollowCommunicationAndDataFlow) {
  Opened<CKsAudRenFilter> opened({RenderSink(), CaptureSink(),
                                  Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SOURCE),
                                  Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_BOTH),
                                  Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_NONE),
                                  Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_BRIDGE)});
  ASSERT_EQ(opened.enumerated, S_OK);
  EXPECT_EQ(opened.filter->FilterType(), static_cast<ULONG>(kFilterRender));
  // None and bridge pins are not audio streaming pins at all.
  ASSERT_EQ(opened.filter->Pins().size(), 4u);
  const struct {
    ULONG pinId;
    ULONG pinType;
    bool render;
    bool capture;
  } expected[] = {{0, kPinRender, true, false},
                  {1, kPinCapture, false, true},
                  {2, kPinGeneric, false, false},
                  {3, kPinGeneric, false, false}};
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    CKsPin* pin = opened.filter->Pins()[i].get();
    EXPECT_EQ(pin->PinId(), expected[i].pinId);
    EXPECT_EQ(pin->PinType(), expected[i].pinType);
    EXPECT_EQ(dynamic_cast<CKsAudRenPin*>(pin) != nullptr, expected[i].render);
    EXPECT_EQ(dynamic_cast<CKsAudCapPin*>(pin) != nullptr, expected[i].capture);
    EXPECT_NE(dynamic_cast<CKsAudPin*>(pin), nullptr);
  }
}

TEST(KsAudioFilter, PinsFailingTheAudioChecksAreDropped) {
  SimDataRange video = PcmRange(2, 16, 24, 44100, 48000);
  video.majorFormat = KSDATAFORMAT_TYPE_VIDEO;
  SimDataRange analog;
  analog.subFormat = KSDATAFORMAT_SUBTYPE_ANALOG;
  analog.audio = false;

  struct Case {
    const char* what;
    SimPin pin;
  };
  std::vector<Case> cases;
  {
    SimPin pin = RenderSink();
    pin.interfaces = {{KSINTERFACESETID_Standard, KSINTERFACE_STANDARD_LOOPED_STREAMING, 0}};
    cases.push_back({"no standard streaming interface", pin});
  }
  {
    SimPin pin = RenderSink();
    pin.interfaces = {{KSINTERFACESETID_Media, 0, 0}};
    cases.push_back({"interface of another set", pin});
  }
  {
    SimPin pin = RenderSink();
    pin.mediums = {{KSMEDIUMSETID_Standard, 1, 0}};
    cases.push_back({"no standard medium", pin});
  }
  cases.push_back({"no audio major format", RenderSink({video})});
  cases.push_back({"no PCM-like subformat", RenderSink({analog})});
  {
    SimPin pin = RenderSink();
    pin.unreadable = {KSPROPERTY_PIN_COMMUNICATION};
    cases.push_back({"communication unreadable", pin});
  }
  {
    SimPin pin = RenderSink();
    pin.unreadable = {KSPROPERTY_PIN_DATAFLOW};
    cases.push_back({"data flow unreadable", pin});
  }
  {
    SimPin pin = RenderSink();
    pin.unreadable = {KSPROPERTY_PIN_INTERFACES};
    cases.push_back({"interfaces unreadable", pin});
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      Opened<CKsAudRenFilter> alone({c.pin});
      EXPECT_EQ(alone.enumerated, E_FAIL);
      EXPECT_TRUE(alone.filter->Pins().empty());
    }
    {
      Opened<CKsAudRenFilter> withGoodPin({c.pin, CaptureSink()});
      EXPECT_EQ(withGoodPin.enumerated, S_OK);
      ASSERT_EQ(withGoodPin.filter->Pins().size(), 1u);
      EXPECT_EQ(withGoodPin.filter->Pins()[0]->PinId(), 1u);
    }
  }
}

TEST(KsAudioFilter, PinCountUnreadableLeavesNoPins) {
  sim::SimKsSystem device;
  device.AddFilter(Filter(Tx880Path(), {CaptureSink()}));
  HRESULT hr = E_FAIL;
  CKsAudCapFilter filter(Tx880Path().c_str(), hr);
  ASSERT_EQ(filter.Instantiate(), S_OK);
  device.FailRequest(RequestKind::PinProperty, 1, ERROR_GEN_FAILURE);
  EXPECT_EQ(filter.EnumeratePins(), E_FAIL);
  EXPECT_TRUE(filter.Pins().empty());
  EXPECT_EQ(device.RequestCount(RequestKind::PinProperty), 1);
}

TEST(KsAudioPin, KeepsEveryPcmLikeAudioRangeInOrder) {
  SimDataRange wildcard = PcmRange(8, 8, 32, 8000, 192000);
  wildcard.subFormat = GUID_NULL;
  wildcard.specifier = GUID_NULL;
  SimDataRange floatTag = PcmRange(2, 32, 32, 44100, 48000);
  floatTag.subFormat = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;  // a wave-format-tag subformat
  SimDataRange analog;
  analog.subFormat = KSDATAFORMAT_SUBTYPE_ANALOG;
  analog.audio = false;
  SimDataRange pcm = PcmRange(2, 16, 16, 44100, 44100);

  Opened<CKsAudRenFilter> opened({RenderSink({wildcard, analog, floatTag, pcm})});
  ASSERT_EQ(opened.enumerated, S_OK);
  const auto& ranges = opened.AudioPin(0)->AudioDataRanges();
  ASSERT_EQ(ranges.size(), 3u);
  EXPECT_EQ(ranges[0].MaximumChannels, 8u);
  EXPECT_TRUE(IsEqualGUID(ranges[1].DataRange.SubFormat, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT));
  EXPECT_EQ(ranges[2].MinimumBitsPerSample, 16u);
  EXPECT_EQ(ranges[2].MaximumSampleFrequency, 44100u);
}

// --- Formats ----------------------------------------------------------------------------------

TEST(KsAudioPin, FormatSupport) {
  SimDataRange wildcard = PcmRange(2, 16, 24, 44100, 48000);
  wildcard.subFormat = GUID_NULL;
  wildcard.specifier = GUID_NULL;
  SimDataRange anyMajor = PcmRange(2, 16, 24, 44100, 48000);
  anyMajor.subFormat = GUID_NULL;
  SimDataRange otherSpecifier = PcmRange(2, 16, 24, 44100, 48000);
  otherSpecifier.specifier = KSDATAFORMAT_SPECIFIER_DSOUND;
  SimDataRange floatOnly = PcmRange(2, 32, 32, 44100, 48000);
  floatOnly.subFormat = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;

  const WAVEFORMATEXTENSIBLE ext24 = BuildStreamFormat(44100, 3);
  const WAVEFORMATEXTENSIBLE ext16 = BuildStreamFormat(44100, 2);
  const WAVEFORMATEXTENSIBLE ext24At96k = BuildStreamFormat(96000, 3);
  WAVEFORMATEXTENSIBLE extFloat = BuildStreamFormat(48000, 4);
  extFloat.SubFormat = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
  const WAVEFORMATEX pcm16 = test::PcmFormat(2, 16, 48000);
  const WAVEFORMATEX mono16 = test::PcmFormat(1, 16, 48000);
  WAVEFORMATEX floatTag = test::PcmFormat(2, 32, 48000);
  floatTag.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;

  struct Case {
    const char* what;
    std::vector<SimDataRange> ranges;
    const WAVEFORMATEX* format;
    bool supported;
  };
  const Case cases[] = {
      {"wildcard range, format within its limits", {wildcard}, Head(ext24), true},
      {"wildcard range, rate above its limit", {wildcard}, Head(ext24At96k), false},
      {"one channel only", {PcmRange(1, 16, 24, 44100, 48000)}, Head(ext24), false},
      {"one channel only, mono format", {PcmRange(1, 16, 24, 44100, 48000)}, &mono16, true},
      {"16 bits only, 24-bit format", {PcmRange(2, 16, 16, 44100, 48000)}, Head(ext24), false},
      {"16 bits only, 16-bit format", {PcmRange(2, 16, 16, 44100, 48000)}, Head(ext16), true},
      {"24 bits at least, 16-bit format", {PcmRange(2, 24, 24, 44100, 48000)}, Head(ext16), false},
      {"48 kHz only", {PcmRange(2, 16, 24, 48000, 48000)}, Head(ext24), false},
      {"plain PCM format", {PcmRange(2, 16, 24, 44100, 48000)}, &pcm16, true},
      {"any subformat", {anyMajor}, Head(ext16), true},
      {"other specifier", {otherSpecifier}, Head(ext16), false},
      {"float range, PCM format", {floatOnly}, Head(ext24), false},
      {"float range, extensible float format", {floatOnly}, Head(extFloat), true},
      {"float range, float tag format", {floatOnly}, &floatTag, true},
      {"PCM range, float tag format", {PcmRange(2, 16, 32, 44100, 48000)}, &floatTag, false},
      {"second range fits", {PcmRange(2, 16, 16, 44100, 48000), PcmRange(2, 24, 24, 44100, 48000)},
       Head(ext24), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Opened<CKsAudRenFilter> opened({RenderSink(c.ranges)});
    ASSERT_EQ(opened.enumerated, S_OK);
    EXPECT_EQ(opened.AudioPin(0)->IsFormatSupported(c.format), c.supported);
    EXPECT_EQ(opened.filter->FindViablePin(c.format) != nullptr, c.supported);
  }
}

TEST(KsAudioPin, FreshConnectBufferLayout) {
  Opened<CKsAudCapFilter> opened({RenderSink(), CaptureSink()});
  ASSERT_EQ(opened.enumerated, S_OK);
  const CKsAudPin* pin = opened.AudioPin(1);
  ASSERT_NE(pin->ConnectBuffer(), nullptr);
  const std::byte* bytes = pin->ConnectBuffer();
#if !defined(_WIN64)
  ASSERT_EQ(pin->ConnectSize(), 146u);
  const struct {
    std::size_t offset;
    GUID value;
  } guids[] = {{0, KSINTERFACESETID_Standard},
               {24, KSMEDIUMSETID_Standard},
               {80, KSDATAFORMAT_TYPE_AUDIO},
               {96, KSDATAFORMAT_SUBTYPE_PCM},
               {112, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX}};
  for (const auto& g : guids) {
    SCOPED_TRACE(g.offset);
    EXPECT_TRUE(IsEqualGUID(At<GUID>(bytes, g.offset), g.value));
  }
  const struct {
    std::size_t offset;
    ULONG value;
  } words[] = {{16, 0}, {20, 0},  {40, 0},          {44, 0}, {48, 1},  {52, 0},
               {56, 0x40000000}, {60, 1}, {64, 82}, {68, 0}, {72, 0}, {76, 0}};
  for (const auto& w : words) {
    SCOPED_TRACE(w.offset);
    EXPECT_EQ(At<ULONG>(bytes, w.offset), w.value);
  }
#else
  EXPECT_EQ(pin->ConnectSize(), sizeof(KSPIN_CONNECT) + sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX));
  EXPECT_EQ(reinterpret_cast<const KSPIN_CONNECT*>(bytes)->PinId, 1u);
#endif
}

TEST(KsAudioPin, SetFormatResizesTheConnectBuffer) {
  const WAVEFORMATEXTENSIBLE ext24 = BuildStreamFormat(44100, 3);
  const WAVEFORMATEXTENSIBLE ext16 = BuildStreamFormat(48000, 2);
  const WAVEFORMATEX pcm16 = test::PcmFormat(2, 16, 44100);
  struct Case {
    const char* what;
    const WAVEFORMATEX* format;
    DWORD formatBytes;
    ULONG sampleSize;
  };
  const Case cases[] = {
      {"extensible 24-bit", Head(ext24), 40, 6},
      {"plain PCM 16-bit", &pcm16, 18, 4},
      {"extensible 16-bit", Head(ext16), 40, 4},
  };
  Opened<CKsAudRenFilter> opened({RenderSink()});
  ASSERT_EQ(opened.enumerated, S_OK);
  CKsAudPin* pin = opened.AudioPin(0);
  constexpr DWORD kHeader = sizeof(KSPIN_CONNECT) + sizeof(KSDATAFORMAT);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(pin->SetFormat(c.format), S_OK);
    ASSERT_EQ(pin->ConnectSize(), kHeader + c.formatBytes);
#if !defined(_WIN64)
    if (c.formatBytes == 40) {
      EXPECT_EQ(pin->ConnectSize(), 168u);
    }
#endif
    const std::byte* bytes = pin->ConnectBuffer();
    const auto* dataFormat = reinterpret_cast<const KSDATAFORMAT*>(bytes + sizeof(KSPIN_CONNECT));
    EXPECT_EQ(dataFormat->FormatSize, sizeof(KSDATAFORMAT) + c.formatBytes);
    EXPECT_EQ(dataFormat->SampleSize, c.sampleSize);
    EXPECT_EQ(dataFormat->SampleSize, c.format->nBlockAlign);
    EXPECT_EQ(std::memcmp(bytes + kHeader, c.format, c.formatBytes), 0);
    ASSERT_NE(pin->CurrentFormat(), nullptr);
    EXPECT_EQ(std::memcmp(pin->CurrentFormat(), c.format, c.formatBytes), 0);
    // The connect record survives the move to a buffer of another size.
    const auto* connect = reinterpret_cast<const KSPIN_CONNECT*>(bytes);
    EXPECT_TRUE(IsEqualGUID(connect->Interface.Set, KSINTERFACESETID_Standard));
    EXPECT_TRUE(IsEqualGUID(connect->Medium.Set, KSMEDIUMSETID_Standard));
    EXPECT_EQ(connect->Priority.PriorityClass, static_cast<ULONG>(KSPRIORITY_NORMAL));
    EXPECT_TRUE(IsEqualGUID(dataFormat->Specifier, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX));
  }
  EXPECT_EQ(pin->SetFormat(nullptr), E_FAIL);
}

TEST(KsStreamFormat, DriverFormats) {
  struct Case {
    DWORD rate;
    WORD wordSize;
    WORD blockAlign;
    DWORD bytesPerSecond;
    WORD bits;
  };
  const Case cases[] = {{44100, 3, 6, 264600, 24}, {44100, 2, 4, 176400, 16}, {48000, 3, 6, 288000, 24}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate * 10 + c.wordSize);
    const WAVEFORMATEXTENSIBLE format = BuildStreamFormat(c.rate, c.wordSize);
    EXPECT_EQ(format.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(format.Format.nChannels, 2);
    EXPECT_EQ(format.Format.nSamplesPerSec, c.rate);
    EXPECT_EQ(format.Format.nBlockAlign, c.blockAlign);
    EXPECT_EQ(format.Format.nAvgBytesPerSec, c.bytesPerSecond);
    EXPECT_EQ(format.Format.wBitsPerSample, c.bits);
    EXPECT_EQ(format.Format.cbSize, 22);
    EXPECT_EQ(format.Samples.wValidBitsPerSample, c.bits);
    EXPECT_EQ(format.dwChannelMask, 3u);
    EXPECT_TRUE(IsEqualGUID(format.SubFormat, KSDATAFORMAT_SUBTYPE_PCM));
  }
}

// --- Creating the render and capture pins -----------------------------------------------------

TEST(KsAudioFilter, ViablePinIsTheFirstThatFits) {
  Opened<CKsAudRenFilter> opened({RenderSink({PcmRange(2, 16, 16, 44100, 48000)}),
                                  RenderSink({PcmRange(2, 16, 24, 44100, 48000)}),
                                  RenderSink({PcmRange(2, 16, 24, 44100, 48000)})});
  ASSERT_EQ(opened.enumerated, S_OK);
  const WAVEFORMATEXTENSIBLE format = BuildStreamFormat(44100, 3);
  CKsAudPin* pin = opened.filter->FindViablePin(Head(format));
  ASSERT_NE(pin, nullptr);
  EXPECT_EQ(pin->PinId(), 1u);
}

TEST(KsAudioFilter, RenderPinIsCreatedWithTheStreamFormat) {
  sim::SimKsSystem device;
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
  HRESULT hr = E_FAIL;
  CKsAudRenFilter filter(Tx880Path().c_str(), hr);
  ASSERT_EQ(filter.Instantiate(), S_OK);
  ASSERT_EQ(filter.EnumeratePins(), S_OK);
  const WAVEFORMATEXTENSIBLE format = BuildStreamFormat(44100, 3);
  CKsAudPin* pin = filter.CreateRenderPin(Head(format));
  ASSERT_NE(pin, nullptr);
  EXPECT_EQ(pin->PinId(), 0u);
  EXPECT_TRUE(CKsIrpTarget::IsValidHandle(pin->GetHandle()));
  const auto instances = device.PinInstances();
  ASSERT_EQ(instances.size(), 1u);
  ASSERT_EQ(instances[0].connect.size(), pin->ConnectSize());
  EXPECT_EQ(std::memcmp(instances[0].connect.data(), pin->ConnectBuffer(), pin->ConnectSize()), 0);
}

TEST(KsAudioFilter, RenderTriesEverySinkPinBeforeGivingUp) {
  const SimDataRange fits = PcmRange(2, 16, 24, 44100, 48000);
  const SimDataRange only16 = PcmRange(2, 16, 16, 44100, 48000);
  auto refusing = [](SimPin pin) {
    pin.createError = ERROR_GEN_FAILURE;
    return pin;
  };
  struct Case {
    const char* what;
    std::vector<SimPin> pins;
    int expectedPin;  // -1: none
    int createRequests;
  };
  const Case cases[] = {
      {"first pin works", {RenderSink({fits}), RenderSink({fits})}, 0, 1},
      {"advertising pin refuses, the next one works", {refusing(RenderSink({fits})), RenderSink({fits})}, 1, 3},
      {"every pin refuses", {refusing(RenderSink({fits})), refusing(RenderSink({fits}))}, -1, 3},
      {"no pin advertises the format", {RenderSink({only16}), RenderSink({only16})}, -1, 2},
  };
  const WAVEFORMATEXTENSIBLE format = BuildStreamFormat(44100, 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Opened<CKsAudRenFilter> opened(c.pins);
    ASSERT_EQ(opened.enumerated, S_OK);
    CKsAudPin* pin = opened.filter->CreateRenderPin(Head(format));
    if (c.expectedPin < 0) {
      EXPECT_EQ(pin, nullptr);
    } else {
      ASSERT_NE(pin, nullptr);
      EXPECT_EQ(pin->PinId(), static_cast<ULONG>(c.expectedPin));
      EXPECT_TRUE(CKsIrpTarget::IsValidHandle(pin->GetHandle()));
    }
    EXPECT_EQ(opened.device.RequestCount(RequestKind::CreatePin), c.createRequests);
  }
}

TEST(KsAudioFilter, CaptureGivesUpAtOnce) {
  const SimDataRange fits = PcmRange(2, 16, 24, 44100, 48000);
  SimPin refusing = CaptureSink({fits});
  refusing.createError = ERROR_GEN_FAILURE;
  struct Case {
    const char* what;
    std::vector<SimPin> pins;
    int expectedPin;
    int createRequests;
  };
  const Case cases[] = {
      {"first pin works", {CaptureSink({fits}), CaptureSink({fits})}, 0, 1},
      {"advertising pin refuses", {refusing, CaptureSink({fits})}, -1, 1},
      {"no pin advertises the format", {CaptureSink({PcmRange(2, 16, 16, 44100, 48000)})}, -1, 0},
  };
  const WAVEFORMATEXTENSIBLE format = BuildStreamFormat(44100, 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Opened<CKsAudCapFilter> opened(c.pins);
    ASSERT_EQ(opened.enumerated, S_OK);
    CKsAudPin* pin = opened.filter->CreateCapturePin(Head(format));
    EXPECT_EQ(pin == nullptr ? -1 : static_cast<int>(pin->PinId()), c.expectedPin);
    EXPECT_EQ(opened.device.RequestCount(RequestKind::CreatePin), c.createRequests);
  }
}

}  // namespace
}  // namespace tx880::ks
