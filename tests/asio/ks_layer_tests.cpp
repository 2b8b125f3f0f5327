// The kernel-streaming access layer against the simulated device: property requests, filter
// enumeration, pin properties and classification, pin instances and their states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "KsAsioDriver/ks/ks_aud_filter.h"
#include "KsAsioDriver/ks/ks_aud_pin.h"
#include "KsAsioDriver/ks/ks_enum_filters.h"
#include "KsAsioDriver/ks/ks_filter.h"
#include "KsAsioDriver/ks/ks_pin.h"
#include "ks_test_support.h"

namespace tx880::ks {
namespace {

using sim::AliasState;
using sim::RequestKind;
using test::Filter;
using test::Pin;
using test::Tx880Path;

// Written out: the toolchain's ksguid library carries another value under this name.
constexpr GUID kTopologySet{0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};

template <typename T>
T At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// A filter opened directly by path, without the enumeration.
std::unique_ptr<CKsFilter> OpenFilter(const std::wstring& path) {
  HRESULT hr = E_FAIL;
  auto filter = std::make_unique<CKsFilter>(path.c_str(), hr);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(filter->Instantiate(), S_OK);
  return filter;
}

KSP_PIN PinRequest(ULONG pinId, ULONG propertyId) {
  KSP_PIN request{};
  request.Property.Set = KSPROPSETID_Pin;
  request.Property.Id = propertyId;
  request.Property.Flags = KSPROPERTY_TYPE_GET;
  request.PinId = pinId;
  return request;
}

class KsLayerTest : public testing::Test {
 protected:
  sim::SimKsSystem device;
};

// --- SyncIoctl --------------------------------------------------------------------------------

TEST_F(KsLayerTest, SyncIoctlOnAnInvalidHandleSendsNothing) {
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
  test::IoctlSpy spy;
  for (HANDLE handle : {HANDLE{nullptr}, INVALID_HANDLE_VALUE}) {
    KSP_PIN request = PinRequest(0, KSPROPERTY_PIN_CTYPES);
    ULONG count = 0;
    DWORD bytes = 99;
    EXPECT_EQ(CKsIrpTarget::SyncIoctl(handle, &request, sizeof(request), &count, sizeof(count),
                                      &bytes),
              E_FAIL);
  }
  EXPECT_TRUE(spy.Calls().empty());
}

TEST_F(KsLayerTest, SyncIoctlAnswers) {
  const std::wstring name = L"TX880 Playback";
  const DWORD nameBytes = static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
  struct Case {
    const char* what;
    sim::Completion completion;
    DWORD outSize;
    DWORD injected;  // error the device answers instead (0: it answers normally)
    HRESULT result;
    DWORD bytes;
  };
  const Case cases[] = {
      {"size query answered with more data", sim::Completion::Synchronous, 0, 0, S_OK, nameBytes},
      {"buffer too small", sim::Completion::Synchronous, 4, 0, E_FAIL, 0},
      {"more data with a buffer", sim::Completion::Synchronous, 520, ERROR_MORE_DATA, E_FAIL, 0},
      {"insufficient buffer with a buffer", sim::Completion::Synchronous, 520,
       ERROR_INSUFFICIENT_BUFFER, E_FAIL, 0},
      {"other error", sim::Completion::Synchronous, 520, ERROR_GEN_FAILURE, E_FAIL, 0},
      {"completed at once", sim::Completion::Synchronous, 520, 0, S_OK, nameBytes},
      {"completed later", sim::Completion::Pending, 520, 0, S_OK, 0},
  };
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
  auto filter = OpenFilter(Tx880Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    device.SetCompletion(c.completion);
    device.FailRequest(RequestKind::PinProperty, 0, 0);
    if (c.injected != 0) device.FailRequest(RequestKind::PinProperty, 0, c.injected);
    KSP_PIN request = PinRequest(0, KSPROPERTY_PIN_NAME);
    wchar_t buffer[260] = {};
    DWORD bytes = 12345;
    EXPECT_EQ(CKsIrpTarget::SyncIoctl(filter->GetHandle(), &request, sizeof(request),
                                      c.outSize == 0 ? nullptr : buffer, c.outSize, &bytes),
              c.result);
    EXPECT_EQ(bytes, c.bytes);
    if (c.result == S_OK && c.outSize != 0) {
      EXPECT_EQ(std::wstring(buffer), name);
    }
  }
}

TEST_F(KsLayerTest, RequestsCarryTheKernelLayouts) {
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
  auto filter = OpenFilter(Tx880Path());
  test::IoctlSpy spy;

  ULONG flow = 0;
  ASSERT_EQ(filter->GetPinPropertySimple(3, KSPROPERTY_PIN_DATAFLOW, &flow, sizeof(flow)), S_OK);
  EXPECT_EQ(flow, static_cast<ULONG>(KSPIN_DATAFLOW_OUT));
  ASSERT_EQ(spy.Calls().size(), 1u);
  const test::IoctlCall& pinCall = spy.Calls()[0];
  EXPECT_EQ(pinCall.code, 0x2F0003u);
  ASSERT_EQ(pinCall.in.size(), 32u);
  EXPECT_TRUE(IsEqualGUID(At<GUID>(pinCall.in, 0), KSPROPSETID_Pin));
  EXPECT_EQ(At<ULONG>(pinCall.in, 16), 2u);  // KSPROPERTY_PIN_DATAFLOW
  EXPECT_EQ(At<ULONG>(pinCall.in, 20), 1u);  // GET
  EXPECT_EQ(At<ULONG>(pinCall.in, 24), 3u);  // pin id
  EXPECT_EQ(At<ULONG>(pinCall.in, 28), 0u);
  EXPECT_EQ(pinCall.outSize, 4u);
  EXPECT_TRUE(pinCall.overlapped);

  ULONG state = KSSTATE_PAUSE;
  HRESULT hr = CKsIrpTarget::SetPropertySimple(filter->GetHandle(), state);
  (void)hr;  // a filter has no connection state; only the request's shape matters here
  ASSERT_EQ(spy.Calls().size(), 2u);
  const test::IoctlCall& stateCall = spy.Calls()[1];
  ASSERT_EQ(stateCall.in.size(), 24u);
  EXPECT_TRUE(IsEqualGUID(At<GUID>(stateCall.in, 0), KSPROPSETID_Connection));
  EXPECT_EQ(At<ULONG>(stateCall.in, 16), 0u);  // KSPROPERTY_CONNECTION_STATE
  EXPECT_EQ(At<ULONG>(stateCall.in, 20), 2u);  // SET
  ASSERT_EQ(stateCall.outSize, 4u);
  EXPECT_EQ(At<ULONG>(stateCall.outOnEntry, 0), static_cast<ULONG>(KSSTATE_PAUSE));

  std::unique_ptr<std::byte[]> nodes;
  ASSERT_EQ(CKsIrpTarget::GetPropertyMulti(filter->GetHandle(), nodes), S_OK);
  ASSERT_EQ(spy.Calls().size(), 4u);  // size query, then the read
  for (std::size_t i : {std::size_t{2}, std::size_t{3}}) {
    ASSERT_EQ(spy.Calls()[i].in.size(), 24u);
    EXPECT_TRUE(IsEqualGUID(At<GUID>(spy.Calls()[i].in, 0), kTopologySet));
    EXPECT_EQ(At<ULONG>(spy.Calls()[i].in, 16), 1u);  // KSPROPERTY_TOPOLOGY_NODES
    EXPECT_EQ(At<ULONG>(spy.Calls()[i].in, 20), 1u);
  }
  EXPECT_EQ(spy.Calls()[2].outSize, 0u);
}

// --- Enumeration ------------------------------------------------------------------------------

TEST(KsEnumeration, InterfacesWithoutAnActiveAliasAreSkipped) {
  struct Case {
    const char* what;
    AliasState alias;
  };
  const Case cases[] = {{"missing", AliasState::Missing},
                        {"inactive", AliasState::Inactive},
                        {"removed", AliasState::Removed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (ULONG type : {ULONG{kFilterRender}, ULONG{kFilterCapture}}) {
      sim::SimKsSystem device;
      auto skipped = sim::SimKsSystem::Tx880(Tx880Path(L"#first"));
      (type == kFilterRender ? skipped.renderAlias : skipped.captureAlias) = c.alias;
      device.AddFilter(skipped);
      device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path(L"#second")));

      std::unique_ptr<CKsFilter> filter = OpenDeviceFilter(type);
      ASSERT_NE(filter, nullptr);
      EXPECT_EQ(std::wstring(filter->DevicePath()), Tx880Path(L"#second"));
      EXPECT_EQ(filter->FilterType(), type);
      EXPECT_EQ(device.RequestCount(RequestKind::Open), 1);
    }
  }
}

// Through the real system calls: Wine registers no kernel-streaming audio device.
TEST(KsEnumeration, RealSystemHasNoTx880) {
  EXPECT_EQ(Kernel().deviceIoControl, RealKernel().deviceIoControl);
  EXPECT_EQ(Kernel().ksCreatePin, nullptr);
  EXPECT_EQ(OpenDeviceFilter(kFilterRender), nullptr);
  EXPECT_EQ(OpenDeviceFilter(kFilterCapture), nullptr);
}

TEST(KsEnumeration, NothingPresentFindsNothing) {
  sim::SimKsSystem device;
  CKsEnumFilters enumerator;
  const GUID categories[2] = {KSCATEGORY_AUDIO, KSCATEGORY_RENDER};
  EXPECT_EQ(enumerator.EnumFilters(categories, kFilterRender), E_FAIL);
  EXPECT_TRUE(enumerator.Filters().empty());
  EXPECT_EQ(OpenDeviceFilter(kFilterRender), nullptr);
  EXPECT_EQ(OpenDeviceFilter(kFilterCapture), nullptr);
  EXPECT_EQ(device.OpenHandles(), 0);
}

TEST(KsEnumeration, NoCategoryEnumeratesNothing) {
  sim::SimKsSystem device;
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
  CKsEnumFilters enumerator;
  const GUID nullFirst[2] = {GUID_NULL, KSCATEGORY_RENDER};
  EXPECT_EQ(enumerator.EnumFilters(nullptr, kFilterRender), S_OK);
  EXPECT_EQ(enumerator.EnumFilters(nullFirst, kFilterRender), S_OK);
  EXPECT_TRUE(enumerator.Filters().empty());
  EXPECT_EQ(device.RequestCount(RequestKind::Enumerate), 0);
}

TEST(KsEnumeration, FirstMatchingDeviceWinsAndTheOthersAreClosed) {
  sim::SimKsSystem device;
  device.AddFilter(sim::SimKsSystem::Tx880(test::OtherPath()));
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path(L"#first")));
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path(L"#second")));

  std::unique_ptr<CKsFilter> filter = OpenDeviceFilter(kFilterRender);
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(std::wstring(filter->DevicePath()), Tx880Path(L"#first"));
  EXPECT_NE(dynamic_cast<CKsAudRenFilter*>(filter.get()), nullptr);
  EXPECT_EQ(device.RequestCount(RequestKind::Open), 3);
  // Only the returned filter's file is still open: the others and the device set are gone.
  EXPECT_EQ(device.OpenHandles(), 1);
  filter.reset();
  EXPECT_EQ(device.OpenHandles(), 0);
}

TEST(KsEnumeration, PrefixMatchIgnoresCase) {
  auto upper = [](std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towupper(c));
    return text;
  };
  struct Case {
    std::wstring path;
    bool found;
  };
  const Case cases[] = {
      {Tx880Path(), true},
      {upper(Tx880Path()), true},
      {test::OtherPath(), false},
      // The prefix ends with the interface number: interface 1 of the device is not ours.
      {Tx880Path().replace(Tx880Path().find(L"&mi_00"), 6, L"&mi_01"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.path.begin(), c.path.end())));
    sim::SimKsSystem device;
    device.AddFilter(sim::SimKsSystem::Tx880(c.path));
    std::unique_ptr<CKsFilter> filter = OpenDeviceFilter(kFilterCapture);
    EXPECT_EQ(filter != nullptr, c.found);
    EXPECT_EQ(device.OpenHandles(), c.found ? 1 : 0);
  }
}

TEST(KsEnumeration, FiltersThatCannotBeUsedAreDropped) {
  struct Case {
    const char* what;
    sim::SimFilterDescription broken;
  };
  auto unopenable = sim::SimKsSystem::Tx880(Tx880Path(L"#broken"));
  unopenable.openError = ERROR_ACCESS_DENIED;
  auto onlyBridges = Filter(Tx880Path(L"#broken"),
                            {Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_BRIDGE),
                             Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_NONE)});
  const Case cases[] = {{"cannot be opened", unopenable}, {"no streaming pins", onlyBridges}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimKsSystem device;
    device.AddFilter(c.broken);
    device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path(L"#good")));
    CKsEnumFilters enumerator;
    const GUID categories[2] = {KSCATEGORY_AUDIO, KSCATEGORY_CAPTURE};
    EXPECT_EQ(enumerator.EnumFilters(categories, kFilterCapture), S_OK);
    ASSERT_EQ(enumerator.Filters().size(), 1u);
    EXPECT_EQ(std::wstring(enumerator.Filters()[0]->DevicePath()), Tx880Path(L"#good"));
    EXPECT_EQ(device.OpenHandles(), 1);
  }
}

TEST(KsEnumeration, FilterTypeChoosesTheFilterClass) {
  sim::SimKsSystem device;
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
  CKsEnumFilters enumerator;
  const GUID categories[2] = {KSCATEGORY_AUDIO, KSCATEGORY_RENDER};
  ASSERT_EQ(enumerator.EnumFilters(categories, kFilterGeneric), S_OK);
  ASSERT_EQ(enumerator.Filters().size(), 1u);
  EXPECT_EQ(dynamic_cast<CKsAudFilter*>(enumerator.Filters()[0].get()), nullptr);
  ASSERT_EQ(enumerator.EnumFilters(categories, kFilterCapture), S_OK);
  ASSERT_EQ(enumerator.Filters().size(), 1u);
  EXPECT_NE(dynamic_cast<CKsAudCapFilter*>(enumerator.Filters()[0].get()), nullptr);
  // The earlier call's filters were deleted.
  EXPECT_EQ(device.OpenHandles(), 1);
}

// --- Opening a filter -------------------------------------------------------------------------

TEST_F(KsLayerTest, FilterOpening) {
  auto locked = sim::SimKsSystem::Tx880(Tx880Path(L"#locked"));
  locked.openError = ERROR_SHARING_VIOLATION;
  device.AddFilter(locked);
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path(L"#free")));
  struct Case {
    const wchar_t* path;
    HRESULT constructed;
    HRESULT opened;
  };
  const std::wstring locked_path = Tx880Path(L"#locked");
  const std::wstring free_path = Tx880Path(L"#free");
  const std::wstring absent_path = Tx880Path(L"#absent");
  const Case cases[] = {
      {nullptr, E_INVALIDARG, E_FAIL},
      {locked_path.c_str(), S_OK, E_FAIL},
      {absent_path.c_str(), S_OK, E_FAIL},
      {free_path.c_str(), S_OK, S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path == nullptr ? "null" : "path");
    HRESULT hr = E_UNEXPECTED;
    CKsFilter filter(c.path, hr);
    EXPECT_EQ(hr, c.constructed);
    EXPECT_EQ(filter.Instantiate(), c.opened);
    EXPECT_EQ(CKsIrpTarget::IsValidHandle(filter.GetHandle()), c.opened == S_OK);
  }
  EXPECT_EQ(device.OpenHandles(), 0);
}

// --- Pins of a generic filter -----------------------------------------------------------------

TEST_F(KsLayerTest, PinsAreClassifiedByDataFlowAndCommunication) {
  struct Case {
    KSPIN_DATAFLOW flow;
    KSPIN_COMMUNICATION communication;
    std::vector<PinList> lists;
  };
  const Case cases[] = {
      {KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_NONE, {PinList::Other}},
      {KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK, {PinList::RenderSink}},
      {KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SOURCE, {PinList::RenderSource}},
      {KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_BOTH, {PinList::RenderSink, PinList::RenderSource}},
      {KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_NONE, {PinList::Other}},
      {KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SINK, {PinList::CaptureSink}},
      {KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SOURCE, {PinList::CaptureSource}},
      {KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_BOTH, {PinList::CaptureSink, PinList::CaptureSource}},
      {KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_BRIDGE, {}},
      {KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_BRIDGE, {}},
  };
  std::vector<sim::SimPin> pins;
  for (const Case& c : cases) pins.push_back(Pin(c.flow, c.communication));
  device.AddFilter(Filter(Tx880Path(), pins));
  auto filter = OpenFilter(Tx880Path());
  ASSERT_EQ(filter->EnumeratePins(), S_OK);
  ASSERT_EQ(filter->Pins().size(), std::size(cases));

  const PinList all[] = {PinList::RenderSink, PinList::CaptureSource, PinList::CaptureSink,
                         PinList::RenderSource, PinList::Other};
  for (ULONG pinId = 0; pinId < std::size(cases); ++pinId) {
    SCOPED_TRACE(pinId);
    CKsPin* pin = filter->Pins()[pinId].get();
    EXPECT_EQ(pin->PinId(), pinId);
    for (PinList list : all) {
      const bool expected = std::ranges::find(cases[pinId].lists, list) != cases[pinId].lists.end();
      const auto& members = filter->PinsOf(list);
      EXPECT_EQ(std::ranges::find(members, pin) != members.end(), expected)
          << "list " << static_cast<int>(list);
    }
  }
}

TEST_F(KsLayerTest, FilterWithOnlyBridgePinsIsNotViable) {
  device.AddFilter(Filter(Tx880Path(), {Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_BRIDGE),
                                        Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_BRIDGE)}));
  auto filter = OpenFilter(Tx880Path());
  EXPECT_EQ(filter->EnumeratePins(), E_FAIL);
  EXPECT_EQ(filter->Pins().size(), 2u);
}

TEST_F(KsLayerTest, PinPropertiesAreRead) {
  auto described = sim::SimKsSystem::Tx880(Tx880Path());
  described.pins[0].instances = {2, 0};
  described.pins[0].globalInstances = {4, 0};
  described.pins[0].category = KSCATEGORY_AUDIO;
  device.AddFilter(described);
  auto filter = OpenFilter(Tx880Path());
  HRESULT hr = E_FAIL;
  CKsPin pin(filter.get(), 0, hr);
  EXPECT_EQ(hr, 0);
  EXPECT_EQ(pin.GetDataFlow(), KSPIN_DATAFLOW_IN);
  EXPECT_EQ(pin.GetCommunication(), KSPIN_COMMUNICATION_SINK);
  EXPECT_EQ(std::wstring(pin.Name()), L"TX880 Playback");
  EXPECT_TRUE(IsEqualGUID(pin.Category(), KSCATEGORY_AUDIO));
  EXPECT_EQ(pin.Instances().PossibleCount, 2u);
  EXPECT_EQ(pin.GlobalInstances().PossibleCount, 4u);
  ASSERT_EQ(pin.InterfaceCount(), 1u);
  EXPECT_TRUE(IsEqualGUID(pin.Interfaces()[0].Set, KSINTERFACESETID_Standard));
  ASSERT_EQ(pin.MediumCount(), 1u);
  EXPECT_TRUE(IsEqualGUID(pin.Mediums()[0].Set, KSMEDIUMSETID_Standard));
  ASSERT_EQ(pin.DataRangeCount(), 1u);
  EXPECT_TRUE(IsEqualGUID(pin.DataRanges()[0].SubFormat, KSDATAFORMAT_SUBTYPE_PCM));
  EXPECT_EQ(pin.GetState(), KSSTATE_STOP);
  EXPECT_FALSE(CKsIrpTarget::IsValidHandle(pin.GetHandle()));
}

TEST_F(KsLayerTest, PinsWithUnreadablePropertiesAreKept) {
  const ULONG properties[] = {KSPROPERTY_PIN_COMMUNICATION, KSPROPERTY_PIN_INTERFACES,
                              KSPROPERTY_PIN_MEDIUMS,       KSPROPERTY_PIN_DATARANGES,
                              KSPROPERTY_PIN_DATAFLOW,      KSPROPERTY_PIN_CINSTANCES,
                              KSPROPERTY_PIN_GLOBALCINSTANCES, KSPROPERTY_PIN_CATEGORY,
                              KSPROPERTY_PIN_NAME};
  std::vector<sim::SimPin> pins;
  for (ULONG property : properties) {
    sim::SimPin pin = Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SINK);
    pin.unreadable = {property};
    pins.push_back(pin);
  }
  pins.push_back(Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SINK));
  device.AddFilter(Filter(Tx880Path(), pins));
  auto filter = OpenFilter(Tx880Path());
  ASSERT_EQ(filter->EnumeratePins(), S_OK);
  ASSERT_EQ(filter->Pins().size(), pins.size());
  for (ULONG pinId = 0; pinId < pins.size(); ++pinId) {
    SCOPED_TRACE(pinId);
    HRESULT hr = E_FAIL;
    CKsPin again(filter.get(), pinId, hr);
    EXPECT_EQ(hr, pinId < std::size(properties) ? 1 : 0);
  }
  // The unread name stays empty instead of holding garbage.
  EXPECT_EQ(std::wstring(filter->Pins()[8]->Name()), L"");
}

TEST_F(KsLayerTest, TopologyNodes) {
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
  device.AddFilter(Filter(Tx880Path(L"#nodeless"), {Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK)}));
  auto filter = OpenFilter(Tx880Path());
  ASSERT_EQ(filter->EnumerateNodes(), S_OK);
  const GUID types[] = {KSNODETYPE_DAC, KSNODETYPE_VOLUME, KSNODETYPE_ADC};
  ASSERT_EQ(filter->Nodes().size(), std::size(types));
  for (ULONG i = 0; i < std::size(types); ++i) {
    EXPECT_EQ(filter->Nodes()[i].m_nodeIndex, i);
    EXPECT_EQ(std::memcmp(&filter->Nodes()[i].m_tag, "NONE", 4), 0);
    EXPECT_TRUE(IsEqualGUID(filter->Nodes()[i].m_nodeType, types[i]));
  }

  device.FailRequest(RequestKind::TopologyProperty, 0, ERROR_NOT_FOUND);
  EXPECT_EQ(filter->EnumerateNodes(), E_FAIL);
  EXPECT_TRUE(filter->Nodes().empty());
  device.FailRequest(RequestKind::TopologyProperty, 0, 0);

  auto nodeless = OpenFilter(Tx880Path(L"#nodeless"));
  EXPECT_EQ(nodeless->EnumerateNodes(), S_OK);
  EXPECT_TRUE(nodeless->Nodes().empty());
}

// --- Pin instances ----------------------------------------------------------------------------

TEST_F(KsLayerTest, GenericPinWithoutConnectBufferIsNotInstantiated) {
  device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
  auto filter = OpenFilter(Tx880Path());
  HRESULT hr = E_FAIL;
  CKsPin pin(filter.get(), 0, hr);
  EXPECT_EQ(pin.Instantiate(FALSE), S_OK);
  EXPECT_FALSE(CKsIrpTarget::IsValidHandle(pin.GetHandle()));
  EXPECT_EQ(device.RequestCount(RequestKind::CreatePin), 0);
}

class KsPinInstanceTest : public KsLayerTest {
 protected:
  void SetUp() override {
    device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
    HRESULT hr = E_FAIL;
    filter = std::make_unique<CKsAudRenFilter>(Tx880Path().c_str(), hr);
    ASSERT_EQ(filter->Instantiate(), S_OK);
    ASSERT_EQ(filter->EnumeratePins(), S_OK);
    WAVEFORMATEX format = test::PcmFormat(2, 16, 48000);
    render = filter->CreateRenderPin(&format);
    ASSERT_NE(render, nullptr);
  }

  std::unique_ptr<CKsAudRenFilter> filter;
  CKsPin* render = nullptr;
};

TEST_F(KsPinInstanceTest, ClosePinStopsOnceAndCanBeRepeated) {
  ASSERT_EQ(render->SetState(KSSTATE_PAUSE), S_OK);
  const int before = device.RequestCount(RequestKind::ConnectionState);
  render->ClosePin();
  EXPECT_FALSE(CKsIrpTarget::IsValidHandle(render->GetHandle()));
  EXPECT_EQ(render->GetState(), KSSTATE_STOP);
  EXPECT_EQ(device.RequestCount(RequestKind::ConnectionState), before + 1);
  render->ClosePin();
  EXPECT_EQ(device.RequestCount(RequestKind::ConnectionState), before + 1);

  const auto instances = device.PinInstances();
  ASSERT_EQ(instances.size(), 1u);
  EXPECT_FALSE(instances[0].open);
  EXPECT_EQ(instances[0].stateHistory, (std::vector<KSSTATE>{KSSTATE_PAUSE, KSSTATE_STOP}));

  // The same connect buffer makes a new instance.
  ASSERT_EQ(render->Instantiate(FALSE), S_OK);
  EXPECT_TRUE(CKsIrpTarget::IsValidHandle(render->GetHandle()));
  ASSERT_EQ(device.PinInstances().size(), 2u);
  EXPECT_EQ(device.PinInstances()[1].connect, device.PinInstances()[0].connect);
}

TEST_F(KsPinInstanceTest, FailedStateChangeKeepsTheRecordedState) {
  ASSERT_EQ(render->SetState(KSSTATE_PAUSE), S_OK);
  device.FailRequest(RequestKind::ConnectionState, 0, ERROR_GEN_FAILURE);
  EXPECT_EQ(render->SetState(KSSTATE_RUN), E_FAIL);
  EXPECT_EQ(render->GetState(), KSSTATE_PAUSE);
}

TEST_F(KsPinInstanceTest, InstantiateFailuresBecomeHResults) {
  struct Case {
    DWORD answer;
    HRESULT result;
  };
  const Case cases[] = {
      {ERROR_ACCESS_DENIED, static_cast<HRESULT>(0x80070005)},
      {0x12345, static_cast<HRESULT>(0x80072345)},  // only the low word survives
      {0x8007001F, static_cast<HRESULT>(0x8007001F)},  // already an HRESULT
  };
  render->ClosePin();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    device.FailRequest(RequestKind::CreatePin, 0, 0);
    device.FailRequest(RequestKind::CreatePin, 0, c.answer);
    EXPECT_EQ(render->Instantiate(FALSE), c.result);
    EXPECT_FALSE(CKsIrpTarget::IsValidHandle(render->GetHandle()));
  }
}

TEST_F(KsPinInstanceTest, LoopedInstantiationAsksForTheLoopedInterface) {
  render->ClosePin();
  EXPECT_NE(render->Instantiate(TRUE), S_OK);  // the device offers standard streaming only
  EXPECT_EQ(render->Looped(), TRUE);
  EXPECT_EQ(reinterpret_cast<const KSPIN_CONNECT*>(render->ConnectBuffer())->Interface.Id, 1u);
  ASSERT_EQ(render->Instantiate(FALSE), S_OK);
  EXPECT_EQ(reinterpret_cast<const KSPIN_CONNECT*>(render->ConnectBuffer())->Interface.Id, 0u);
}

// A render and a capture pin of the TX880, instantiated.
struct PinPair {
  explicit PinPair(sim::SimKsSystem& device, const WAVEFORMATEX& format) {
    device.AddFilter(sim::SimKsSystem::Tx880(Tx880Path()));
    HRESULT hr = E_FAIL;
    renderFilter = std::make_unique<CKsAudRenFilter>(Tx880Path().c_str(), hr);
    captureFilter = std::make_unique<CKsAudCapFilter>(Tx880Path().c_str(), hr);
    for (CKsFilter* filter : {static_cast<CKsFilter*>(renderFilter.get()),
                              static_cast<CKsFilter*>(captureFilter.get())}) {
      EXPECT_EQ(filter->Instantiate(), S_OK);
      EXPECT_EQ(filter->EnumeratePins(), S_OK);
    }
    pins[0] = captureFilter->CreateCapturePin(&format);
    pins[1] = renderFilter->CreateRenderPin(&format);
  }
  bool Complete() const { return pins[0] != nullptr && pins[1] != nullptr; }

  std::unique_ptr<CKsAudRenFilter> renderFilter;
  std::unique_ptr<CKsAudCapFilter> captureFilter;
  CKsPin* pins[2] = {nullptr, nullptr};  // capture first, as the streaming thread passes them
};

TEST(KsStreamPackets, SubmittedOrRefused) {
  struct Case {
    bool read;
    DWORD injected;
    HRESULT result;
  };
  const Case cases[] = {{false, 0, S_OK}, {true, 0, S_OK},
                        {false, ERROR_GEN_FAILURE, E_FAIL}, {true, ERROR_GEN_FAILURE, E_FAIL}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.read ? "read " : "write ") << c.injected);
    sim::SimKsSystem device;
    device.StallStreams(true);
    PinPair pair(device, test::PcmFormat(2, 16, 48000));
    ASSERT_TRUE(pair.Complete());
    CKsPin* pin = c.read ? pair.pins[0] : pair.pins[1];
    ASSERT_EQ(pin->SetState(KSSTATE_PAUSE), S_OK);
    const RequestKind kind = c.read ? RequestKind::ReadStream : RequestKind::WriteStream;
    if (c.injected != 0) device.FailRequest(kind, 0, c.injected);

    std::vector<std::byte> data(4 * 64);
    KSSTREAM_HEADER header{};
    header.Size = sizeof(header);
    header.FrameExtent = static_cast<ULONG>(data.size());
    header.DataUsed = c.read ? 0 : static_cast<ULONG>(data.size());
    header.Data = data.data();
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(c.read ? pin->ReadData(&header, &overlapped) : pin->WriteData(&header, &overlapped),
              c.result);
    EXPECT_EQ(device.RequestCount(kind), 1);
    // Closing cancels what is still queued before the records go away.
    pin->ClosePin();
    CloseHandle(overlapped.hEvent);
  }
}

TEST(KsRunPinPair, BothPinsRunTogether) {
  for (sim::Completion completion : {sim::Completion::Synchronous, sim::Completion::Pending}) {
    SCOPED_TRACE(static_cast<int>(completion));
    sim::SimKsSystem device;
    PinPair pair(device, test::PcmFormat(2, 16, 44100));
    ASSERT_TRUE(pair.Complete());
    CKsPin** pins = pair.pins;
    device.SetCompletion(completion);
    ASSERT_EQ(pins[0]->SetState(KSSTATE_PAUSE), S_OK);
    ASSERT_EQ(pins[1]->SetState(KSSTATE_PAUSE), S_OK);

    EXPECT_EQ(RunPinPair(pins), S_OK);
    EXPECT_EQ(pins[0]->GetState(), KSSTATE_RUN);
    EXPECT_EQ(pins[1]->GetState(), KSSTATE_RUN);
    for (const sim::SimPinInstance& instance : device.PinInstances()) {
      EXPECT_EQ(instance.state, KSSTATE_RUN);
    }
  }
}

TEST(KsRunPinPair, RefusedRequestFailsWithoutWaiting) {
  for (int refused : {1, 2}) {
    SCOPED_TRACE(refused);
    sim::SimKsSystem device;
    PinPair pair(device, test::PcmFormat(2, 24, 48000));
    ASSERT_TRUE(pair.Complete());
    CKsPin** pins = pair.pins;
    device.SetCompletion(sim::Completion::Pending);
    const int before = device.RequestCount(RequestKind::ConnectionState);
    device.FailRequest(RequestKind::ConnectionState, before + refused, ERROR_GEN_FAILURE);

    EXPECT_EQ(RunPinPair(pins), E_FAIL);
    EXPECT_EQ(pins[0]->GetState(), KSSTATE_STOP);
    EXPECT_EQ(pins[1]->GetState(), KSSTATE_STOP);
    EXPECT_EQ(device.RequestCount(RequestKind::ConnectionState), before + 2);
  }
}

}  // namespace
}  // namespace tx880::ks
