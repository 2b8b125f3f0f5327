// The simulated TX880 as the driver meets it: raw requests through the kernel table, answered
// the way a kernel-streaming filter pair answers them.
#include "KsAsioDriver/ks/ks_kernel.h"
#include "KsAsioDriver/sim/sim_ks_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace tx880::sim {
namespace {

constexpr wchar_t kTx880Path[] = L"\\\\?\\usb#vid_1234&pid_5678&mi_00#7&1&0#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
constexpr wchar_t kOtherPath[] = L"\\\\?\\hdaudio#func_01&ven_10ec#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave";
constexpr ULONG kRenderPin = 0;
constexpr ULONG kBridgePin = 1;
constexpr ULONG kCapturePin = 3;
constexpr ULONG_PTR kStatusCancelled = 0xC0000120;

ks::KsKernel& K() { return ks::Kernel(); }

class Event {
 public:
  Event() : handle_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(handle_); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE get() const { return handle_; }
  bool Signalled() const { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }
  // Only for completions that come from the sim's own thread; the bound keeps a broken sim
  // from hanging the run.
  bool Wait() const { return WaitForSingleObject(handle_, 10000) == WAIT_OBJECT_0; }

 private:
  HANDLE handle_;
};

// A handle the sim gave out, closed through the table.
class SimHandle {
 public:
  explicit SimHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~SimHandle() { Reset(); }
  SimHandle(const SimHandle&) = delete;
  SimHandle& operator=(const SimHandle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset() {
    if (valid()) K().closeHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

struct Answer {
  BOOL ok;
  DWORD error;
  DWORD bytes;
};

Answer Ioctl(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, OVERLAPPED* overlapped) {
  DWORD bytes = 0xDEADBEEF;
  SetLastError(0);
  const BOOL ok = K().deviceIoControl(handle, code, in, inSize, out, outSize, &bytes, overlapped);
  return {ok, ok ? 0 : GetLastError(), bytes};
}

Answer PinProperty(HANDLE filter, ULONG pinId, ULONG id, void* out, DWORD outSize) {
  KSP_PIN request{};
  request.Property.Set = KSPROPSETID_Pin;
  request.Property.Id = id;
  request.Property.Flags = KSPROPERTY_TYPE_GET;
  request.PinId = pinId;
  Event event;
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.get();
  return Ioctl(filter, IOCTL_KS_PROPERTY, &request, sizeof(request), out, outSize, &overlapped);
}

// Sends the state the way the driver does: the value in the output buffer.
Answer SetState(HANDLE pin, KSSTATE state, DWORD requestSize = sizeof(KSPROPERTY)) {
  unsigned char request[28] = {};
  KSPROPERTY property{KSPROPSETID_Connection, KSPROPERTY_CONNECTION_STATE, KSPROPERTY_TYPE_SET};
  std::memcpy(request, &property, sizeof(property));
  Event event;
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.get();
  return Ioctl(pin, IOCTL_KS_PROPERTY, request, requestSize, &state, sizeof(state), &overlapped);
}

// KSPIN_CONNECT followed by the data format, as the driver builds it.
struct ConnectRequest {
  KSPIN_CONNECT connect;
  KSDATAFORMAT format;
  WAVEFORMATEXTENSIBLE wave;
};

struct StreamFormat {
  WORD channels = 2;
  WORD bits = 24;
  WORD validBits = 24;
  DWORD rate = 44100;
};

ConnectRequest Connect(ULONG pinId, StreamFormat stream = {}) {
  ConnectRequest request{};
  request.connect.Interface = {KSINTERFACESETID_Standard, KSINTERFACE_STANDARD_STREAMING, 0};
  request.connect.Medium = {KSMEDIUMSETID_Standard, KSMEDIUM_TYPE_ANYINSTANCE, 0};
  request.connect.PinId = pinId;
  request.connect.Priority = {KSPRIORITY_NORMAL, 1};
  request.format.FormatSize = sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEXTENSIBLE);
  request.format.SampleSize = stream.channels * stream.bits / 8;
  request.format.MajorFormat = KSDATAFORMAT_TYPE_AUDIO;
  request.format.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  request.format.Specifier = KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
  WAVEFORMATEX& wave = request.wave.Format;
  wave.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  wave.nChannels = stream.channels;
  wave.nSamplesPerSec = stream.rate;
  wave.nBlockAlign = static_cast<WORD>(stream.channels * stream.bits / 8);
  wave.nAvgBytesPerSec = wave.nBlockAlign * stream.rate;
  wave.wBitsPerSample = stream.bits;
  wave.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
  request.wave.Samples.wValidBitsPerSample = stream.validBits;
  request.wave.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
  request.wave.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  return request;
}

// One stream packet with its buffer and completion event.
struct Packet {
  explicit Packet(ULONG bytes) : data(bytes) {
    header.Size = sizeof(KSSTREAM_HEADER);
    header.PresentationTime.Numerator = 1;
    header.PresentationTime.Denominator = 1;
    header.FrameExtent = bytes;
    header.Data = data.data();
    overlapped.hEvent = event.get();
  }
  Answer Submit(HANDLE pin, DWORD code) {
    return Ioctl(pin, code, nullptr, 0, &header, sizeof(header), &overlapped);
  }
  std::vector<std::uint8_t> data;
  KSSTREAM_HEADER header{};
  Event event;
  OVERLAPPED overlapped{};
};

class SimDeviceTest : public testing::Test {
 protected:
  SimDeviceTest() {
    sim.SetClock(Clock::Manual);
    sim.AddFilter(SimKsSystem::Tx880(kTx880Path));
  }

  SimHandle OpenTx880() {
    return SimHandle(K().createFile(kTx880Path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  DWORD CreatePin(HANDLE filter, ConnectRequest request, SimHandle& pin) {
    return K().ksCreatePin(filter, &request.connect, GENERIC_READ | GENERIC_WRITE, pin.out());
  }

  SimKsSystem sim;
};

// --- Enumeration ---------------------------------------------------------------------------

struct AliasCase {
  AliasState state;
  BOOL found;
  DWORD flags;
};

TEST_F(SimDeviceTest, EnumeratesInterfacesInOrderWithDetailAndAliases) {
  const AliasCase cases[] = {
      {AliasState::Missing, FALSE, 0},
      {AliasState::Inactive, TRUE, 0},
      {AliasState::Removed, TRUE, SPINT_ACTIVE | SPINT_REMOVED},
      {AliasState::Present, TRUE, SPINT_ACTIVE},
  };
  for (const AliasCase& c : cases) {
    SimFilterDescription other;
    other.devicePath = kOtherPath;
    other.captureAlias = c.state;
    sim.AddFilter(other);
  }
  HDEVINFO set = K().getClassDevs(&KSCATEGORY_AUDIO, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof(data);
  ASSERT_TRUE(K().enumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, 0, &data));

  DWORD required = 0;
  EXPECT_FALSE(K().getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  const DWORD pathBytes = sizeof(kTx880Path);
  EXPECT_EQ(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + pathBytes);
  std::vector<std::uint8_t> buffer(required);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  EXPECT_FALSE(K().getDeviceInterfaceDetail(set, &data, detail, required - 1, &required, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_TRUE(K().getDeviceInterfaceDetail(set, &data, detail, required, nullptr, nullptr));
  EXPECT_STREQ(detail->DevicePath, kTx880Path);

  for (DWORD index = 1; index <= 4; ++index) {
    const AliasCase& c = cases[index - 1];
    SCOPED_TRACE(static_cast<int>(c.state));
    ASSERT_TRUE(K().enumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, index, &data));
    ASSERT_TRUE(K().getDeviceInterfaceDetail(set, &data, detail, required, nullptr, nullptr));
    EXPECT_STREQ(detail->DevicePath, kOtherPath);
    SP_DEVICE_INTERFACE_DATA alias{};
    alias.cbSize = sizeof(alias);
    alias.Flags = 0xFF;
    EXPECT_EQ(K().getDeviceInterfaceAlias(set, &data, &KSCATEGORY_CAPTURE, &alias), c.found);
    if (c.found) {
      EXPECT_EQ(alias.Flags, c.flags);
      EXPECT_TRUE(IsEqualGUID(alias.InterfaceClassGuid, KSCATEGORY_CAPTURE));
    } else {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVICE_INTERFACE));
    }
    // The render alias keeps its own state.
    EXPECT_TRUE(K().getDeviceInterfaceAlias(set, &data, &KSCATEGORY_RENDER, &alias));
    EXPECT_EQ(alias.Flags, static_cast<DWORD>(SPINT_ACTIVE));
  }
  EXPECT_FALSE(K().enumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, 5, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(sim.OpenHandles(), 1);
  EXPECT_TRUE(K().destroyDeviceInfoList(set));
  EXPECT_EQ(sim.OpenHandles(), 0);
}

TEST_F(SimDeviceTest, UnknownCategoryGivesAnEmptySetAndInjectedFailureNoSet) {
  const GUID unknown = {0x12345678, 0x1, 0x2, {0, 1, 2, 3, 4, 5, 6, 7}};
  HDEVINFO set = K().getClassDevs(&unknown, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof(data);
  EXPECT_FALSE(K().enumDeviceInterfaces(set, nullptr, &unknown, 0, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_TRUE(K().destroyDeviceInfoList(set));

  // Occurrences count over the sim's life: the next request is the second.
  sim.FailRequest(RequestKind::Enumerate, 2, ERROR_ACCESS_DENIED);
  EXPECT_EQ(K().getClassDevs(&KSCATEGORY_AUDIO, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(sim.RequestCount(RequestKind::Enumerate), 2);
  EXPECT_EQ(sim.OpenHandles(), 0);
}

TEST_F(SimDeviceTest, OpensKnownPathsIgnoringCase) {
  std::wstring upper = kTx880Path;
  for (auto& ch : upper) ch = static_cast<wchar_t>(towupper(ch));
  SimHandle filter(K().createFile(upper.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  EXPECT_TRUE(filter.valid());
  EXPECT_EQ(sim.OpenHandles(), 1);

  EXPECT_EQ(K().createFile(L"\\\\?\\usb#nothing", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  SimFilterDescription busy;
  busy.devicePath = kOtherPath;
  busy.openError = ERROR_SHARING_VIOLATION;
  sim.AddFilter(busy);
  EXPECT_EQ(K().createFile(kOtherPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(sim.RequestCount(RequestKind::Open), 3);
  filter.Reset();
  EXPECT_EQ(sim.OpenHandles(), 0);
}

// --- Properties ------------------------------------------------------------------------------

struct FixedCase {
  ULONG pinId;
  ULONG property;
  ULONG value;
};

TEST_F(SimDeviceTest, AnswersFixedSizePinProperties) {
  SimHandle filter = OpenTx880();
  ASSERT_TRUE(filter.valid());
  ULONG count = 0;
  Answer answer = PinProperty(filter.get(), 0, KSPROPERTY_PIN_CTYPES, &count, sizeof(count));
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(answer.bytes, sizeof(count));

  const FixedCase cases[] = {
      {kRenderPin, KSPROPERTY_PIN_DATAFLOW, KSPIN_DATAFLOW_IN},
      {kRenderPin, KSPROPERTY_PIN_COMMUNICATION, KSPIN_COMMUNICATION_SINK},
      {kCapturePin, KSPROPERTY_PIN_DATAFLOW, KSPIN_DATAFLOW_OUT},
      {kCapturePin, KSPROPERTY_PIN_COMMUNICATION, KSPIN_COMMUNICATION_SINK},
      {kBridgePin, KSPROPERTY_PIN_COMMUNICATION, KSPIN_COMMUNICATION_BRIDGE},
      {2, KSPROPERTY_PIN_COMMUNICATION, KSPIN_COMMUNICATION_NONE},
  };
  for (const FixedCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "pin " << c.pinId << " property " << c.property);
    ULONG value = 0xFFFF;
    ASSERT_TRUE(PinProperty(filter.get(), c.pinId, c.property, &value, sizeof(value)).ok);
    EXPECT_EQ(value, c.value);
  }

  KSPIN_CINSTANCES instances{};
  ASSERT_TRUE(PinProperty(filter.get(), kCapturePin, KSPROPERTY_PIN_CINSTANCES, &instances, sizeof(instances)).ok);
  EXPECT_EQ(instances.PossibleCount, 1u);
  EXPECT_EQ(instances.CurrentCount, 0u);
  GUID category{};
  ASSERT_TRUE(PinProperty(filter.get(), kBridgePin, KSPROPERTY_PIN_CATEGORY, &category, sizeof(category)).ok);
  EXPECT_TRUE(IsEqualGUID(category, KSNODETYPE_SPEAKER));
  wchar_t name[260] = {};
  answer = PinProperty(filter.get(), kCapturePin, KSPROPERTY_PIN_NAME, name, sizeof(name) - 1);
  ASSERT_TRUE(answer.ok);
  EXPECT_STREQ(name, L"TX880 Recording");
  EXPECT_EQ(answer.bytes, sizeof(L"TX880 Recording"));

  answer = PinProperty(filter.get(), 9, KSPROPERTY_PIN_DATAFLOW, &count, sizeof(count));
  EXPECT_FALSE(answer.ok);
  answer = PinProperty(filter.get(), kRenderPin, KSPROPERTY_PIN_DATAFLOW, &count, 2);
  EXPECT_FALSE(answer.ok);
  EXPECT_EQ(answer.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(SimDeviceTest, MultipleItemPropertiesAnswerSizeQueriesThenItems) {
  SimFilterDescription device;
  device.devicePath = kOtherPath;
  SimPin pin;
  SimDataRange bare;
  bare.audio = false;
  bare.subFormat = KSDATAFORMAT_SUBTYPE_ANALOG;
  SimDataRange pcm;
  pcm.maximumChannels = 8;
  pin.ranges = {bare, pcm};
  pin.unreadable = {KSPROPERTY_PIN_NAME};
  device.pins = {pin};
  device.nodes = {KSNODETYPE_DAC, KSNODETYPE_ADC};
  sim.AddFilter(device);
  SimHandle filter(K().createFile(kOtherPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  ASSERT_TRUE(filter.valid());

  // A bare range (64 bytes), then an audio range on the next 8-byte boundary.
  const DWORD rangesSize = sizeof(KSMULTIPLE_ITEM) + sizeof(KSDATARANGE) + sizeof(KSDATARANGE_AUDIO);
  Answer answer = PinProperty(filter.get(), 0, KSPROPERTY_PIN_DATARANGES, nullptr, 0);
  EXPECT_FALSE(answer.ok);
  EXPECT_EQ(answer.error, static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(answer.bytes, rangesSize);
  std::vector<std::uint64_t> storage(rangesSize / 8 + 1);
  auto* bytes = reinterpret_cast<std::uint8_t*>(storage.data());
  answer = PinProperty(filter.get(), 0, KSPROPERTY_PIN_DATARANGES, bytes, rangesSize - 1);
  EXPECT_FALSE(answer.ok);
  EXPECT_NE(answer.error, 0u);
  answer = PinProperty(filter.get(), 0, KSPROPERTY_PIN_DATARANGES, bytes, rangesSize);
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(answer.bytes, rangesSize);
  const auto* item = reinterpret_cast<const KSMULTIPLE_ITEM*>(bytes);
  EXPECT_EQ(item->Size, rangesSize);
  EXPECT_EQ(item->Count, 2u);
  const auto* first = reinterpret_cast<const KSDATARANGE*>(item + 1);
  EXPECT_EQ(first->FormatSize, sizeof(KSDATARANGE));
  EXPECT_TRUE(IsEqualGUID(first->SubFormat, KSDATAFORMAT_SUBTYPE_ANALOG));
  const auto* second = reinterpret_cast<const KSDATARANGE_AUDIO*>(bytes + sizeof(KSMULTIPLE_ITEM) + 64);
  EXPECT_EQ(second->DataRange.FormatSize, sizeof(KSDATARANGE_AUDIO));
  EXPECT_TRUE(IsEqualGUID(second->DataRange.MajorFormat, KSDATAFORMAT_TYPE_AUDIO));
  EXPECT_TRUE(IsEqualGUID(second->DataRange.SubFormat, KSDATAFORMAT_SUBTYPE_PCM));
  EXPECT_TRUE(IsEqualGUID(second->DataRange.Specifier, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX));
  EXPECT_EQ(second->MaximumChannels, 8u);
  EXPECT_EQ(second->MinimumBitsPerSample, 16u);
  EXPECT_EQ(second->MaximumBitsPerSample, 24u);
  EXPECT_EQ(second->MinimumSampleFrequency, 44100u);
  EXPECT_EQ(second->MaximumSampleFrequency, 96000u);

  // Interfaces and mediums default to the standard streaming ones.
  struct Standard {
    KSMULTIPLE_ITEM item;
    KSIDENTIFIER identifier;
  } standard{};
  ASSERT_TRUE(PinProperty(filter.get(), 0, KSPROPERTY_PIN_INTERFACES, &standard, sizeof(standard)).ok);
  EXPECT_EQ(standard.item.Count, 1u);
  EXPECT_TRUE(IsEqualGUID(standard.identifier.Set, KSINTERFACESETID_Standard));
  EXPECT_EQ(standard.identifier.Id, static_cast<ULONG>(KSINTERFACE_STANDARD_STREAMING));
  ASSERT_TRUE(PinProperty(filter.get(), 0, KSPROPERTY_PIN_MEDIUMS, &standard, sizeof(standard)).ok);
  EXPECT_TRUE(IsEqualGUID(standard.identifier.Set, KSMEDIUMSETID_Standard));

  KSPROPERTY nodesRequest{kTopologyPropertySet, KSPROPERTY_TOPOLOGY_NODES, KSPROPERTY_TYPE_GET};
  Event event;
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.get();
  answer = Ioctl(filter.get(), IOCTL_KS_PROPERTY, &nodesRequest, sizeof(nodesRequest), nullptr, 0, &overlapped);
  EXPECT_EQ(answer.error, static_cast<DWORD>(ERROR_MORE_DATA));
  ASSERT_EQ(answer.bytes, sizeof(KSMULTIPLE_ITEM) + 2 * sizeof(GUID));
  struct Nodes {
    KSMULTIPLE_ITEM item;
    GUID types[2];
  } nodes{};
  ASSERT_TRUE(Ioctl(filter.get(), IOCTL_KS_PROPERTY, &nodesRequest, sizeof(nodesRequest), &nodes, sizeof(nodes),
                    &overlapped).ok);
  EXPECT_EQ(nodes.item.Count, 2u);
  EXPECT_TRUE(IsEqualGUID(nodes.types[1], KSNODETYPE_ADC));

  wchar_t name[16];
  answer = PinProperty(filter.get(), 0, KSPROPERTY_PIN_NAME, name, sizeof(name));
  EXPECT_FALSE(answer.ok);
  EXPECT_NE(answer.error, 0u);
  EXPECT_NE(answer.error, static_cast<DWORD>(ERROR_IO_PENDING));
}

TEST_F(SimDeviceTest, PendingCompletionFillsTheOutputThenSetsTheEvent) {
  SimHandle filter = OpenTx880();
  sim.SetCompletion(Completion::Pending);
  KSP_PIN request{};
  request.Property = {KSPROPSETID_Pin, KSPROPERTY_PIN_DATAFLOW, KSPROPERTY_TYPE_GET};
  request.PinId = kCapturePin;
  Event event;
  OVERLAPPED overlapped{};
  // The low bit keeps completion ports out; the device signals the event itself.
  overlapped.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event.get()) | 1);
  ULONG flow = 0;
  const Answer answer = Ioctl(filter.get(), IOCTL_KS_PROPERTY, &request, sizeof(request), &flow, sizeof(flow), &overlapped);
  EXPECT_FALSE(answer.ok);
  EXPECT_EQ(answer.error, static_cast<DWORD>(ERROR_IO_PENDING));
  ASSERT_TRUE(event.Wait());
  EXPECT_EQ(flow, static_cast<ULONG>(KSPIN_DATAFLOW_OUT));
  EXPECT_EQ(overlapped.Internal, 0u);
  EXPECT_EQ(overlapped.InternalHigh, sizeof(flow));

  // Size queries and failures are still answered at once.
  EXPECT_EQ(PinProperty(filter.get(), kCapturePin, KSPROPERTY_PIN_DATARANGES, nullptr, 0).error,
            static_cast<DWORD>(ERROR_MORE_DATA));

  SimHandle pin;
  ASSERT_EQ(CreatePin(filter.get(), Connect(kCapturePin), pin), static_cast<DWORD>(ERROR_SUCCESS));
  Event stateEvent;
  OVERLAPPED stateOverlapped{};
  stateOverlapped.hEvent = stateEvent.get();
  KSPROPERTY property{KSPROPSETID_Connection, KSPROPERTY_CONNECTION_STATE, KSPROPERTY_TYPE_SET};
  KSSTATE state = KSSTATE_PAUSE;
  EXPECT_EQ(Ioctl(pin.get(), IOCTL_KS_PROPERTY, &property, sizeof(property), &state, sizeof(state), &stateOverlapped).error,
            static_cast<DWORD>(ERROR_IO_PENDING));
  ASSERT_TRUE(stateEvent.Wait());
  EXPECT_EQ(sim.PinInstances().at(0).state, KSSTATE_PAUSE);
}

// --- Pin creation ------------------------------------------------------------------------------

struct CreateCase {
  const char* what;
  ULONG pinId;
  StreamFormat format;
  DWORD expected;
};

TEST_F(SimDeviceTest, CreatePinAcceptsOnlyFormatsInsideAnAdvertisedRange) {
  SimHandle filter = OpenTx880();
  ASSERT_TRUE(filter.valid());
  const CreateCase cases[] = {
      {"24 bit 44100 on capture", kCapturePin, {2, 24, 24, 44100}, ERROR_SUCCESS},
      {"16 bit 48000 on render", kRenderPin, {2, 16, 16, 48000}, ERROR_SUCCESS},
      {"mono", kRenderPin, {1, 16, 16, 48000}, ERROR_SUCCESS},
      {"three channels", kRenderPin, {3, 16, 16, 48000}, ERROR_NO_MATCH},
      {"8 bits", kRenderPin, {2, 8, 8, 48000}, ERROR_NO_MATCH},
      {"32-bit container", kRenderPin, {2, 32, 24, 48000}, ERROR_NO_MATCH},
      {"rate too low", kRenderPin, {2, 24, 24, 44099}, ERROR_NO_MATCH},
      {"rate too high", kRenderPin, {2, 24, 24, 48001}, ERROR_NO_MATCH},
      {"analog bridge pin", kBridgePin, {2, 24, 24, 44100}, ERROR_NO_MATCH},
      {"no such pin", 4, {2, 24, 24, 44100}, ERROR_NO_MATCH},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(c.what);
    SimHandle pin;
    EXPECT_EQ(CreatePin(filter.get(), Connect(c.pinId, c.format), pin), c.expected);
    EXPECT_EQ(pin.valid(), c.expected == ERROR_SUCCESS);
  }

  ConnectRequest wrongMajor = Connect(kRenderPin);
  wrongMajor.format.MajorFormat = KSDATAFORMAT_TYPE_VIDEO;
  SimHandle pin;
  EXPECT_EQ(CreatePin(filter.get(), wrongMajor, pin), static_cast<DWORD>(ERROR_NO_MATCH));
  ConnectRequest shortFormat = Connect(kRenderPin);
  shortFormat.format.FormatSize = sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX);  // cuts the extensible part
  EXPECT_EQ(CreatePin(filter.get(), shortFormat, pin), static_cast<DWORD>(ERROR_NO_MATCH));
  ConnectRequest looped = Connect(kRenderPin);
  looped.connect.Interface.Id = KSINTERFACE_STANDARD_LOOPED_STREAMING;
  EXPECT_EQ(CreatePin(filter.get(), looped, pin), static_cast<DWORD>(ERROR_NO_MATCH));
  EXPECT_EQ(sim.RequestCount(RequestKind::CreatePin), 13);
  EXPECT_EQ(sim.OpenHandles(), 1);
}

TEST_F(SimDeviceTest, CreatePinRecordsTheConnectAndCountsInstances) {
  SimFilterDescription refusing = SimKsSystem::Tx880(kOtherPath);
  refusing.pins[kRenderPin].createError = ERROR_DEVICE_NOT_AVAILABLE;
  sim.AddFilter(refusing);
  SimHandle other(K().createFile(kOtherPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  SimHandle refused;
  EXPECT_EQ(CreatePin(other.get(), Connect(kRenderPin), refused), static_cast<DWORD>(ERROR_DEVICE_NOT_AVAILABLE));

  SimHandle filter = OpenTx880();
  const ConnectRequest request = Connect(kCapturePin, {2, 16, 16, 48000});
  SimHandle pin;
  ASSERT_EQ(CreatePin(filter.get(), request, pin), static_cast<DWORD>(ERROR_SUCCESS));
  const auto instances = sim.PinInstances();
  ASSERT_EQ(instances.size(), 1u);
  EXPECT_EQ(instances[0].devicePath, kTx880Path);
  EXPECT_EQ(instances[0].pinId, kCapturePin);
  EXPECT_TRUE(instances[0].open);
  EXPECT_EQ(instances[0].state, KSSTATE_STOP);
  ASSERT_EQ(instances[0].connect.size(), sizeof(KSPIN_CONNECT) + request.format.FormatSize);
  EXPECT_EQ(std::memcmp(instances[0].connect.data(), &request, instances[0].connect.size()), 0);

  KSPIN_CINSTANCES count{};
  ASSERT_TRUE(PinProperty(filter.get(), kCapturePin, KSPROPERTY_PIN_CINSTANCES, &count, sizeof(count)).ok);
  EXPECT_EQ(count.CurrentCount, 1u);
  SimHandle second;
  EXPECT_NE(CreatePin(filter.get(), request, second), static_cast<DWORD>(ERROR_SUCCESS));

  pin.Reset();
  EXPECT_FALSE(sim.PinInstances()[0].open);
  ASSERT_TRUE(PinProperty(filter.get(), kCapturePin, KSPROPERTY_PIN_CINSTANCES, &count, sizeof(count)).ok);
  EXPECT_EQ(count.CurrentCount, 0u);
  EXPECT_EQ(CreatePin(filter.get(), request, second), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(SimDeviceTest, StateRequestsAreRecordedInOrder) {
  SimHandle filter = OpenTx880();
  SimHandle pin;
  ASSERT_EQ(CreatePin(filter.get(), Connect(kRenderPin), pin), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(SetState(pin.get(), KSSTATE_PAUSE).ok);
  EXPECT_TRUE(SetState(pin.get(), KSSTATE_RUN, 28).ok);
  EXPECT_TRUE(SetState(pin.get(), KSSTATE_PAUSE).ok);
  EXPECT_FALSE(SetState(pin.get(), static_cast<KSSTATE>(7)).ok);
  EXPECT_TRUE(SetState(pin.get(), KSSTATE_STOP).ok);
  const auto instance = sim.PinInstances().at(0);
  EXPECT_EQ(instance.state, KSSTATE_STOP);
  EXPECT_EQ(instance.stateHistory,
            (std::vector<KSSTATE>{KSSTATE_PAUSE, KSSTATE_RUN, KSSTATE_PAUSE, KSSTATE_STOP}));
  // The state set belongs to the pin, not to the filter.
  EXPECT_FALSE(SetState(filter.get(), KSSTATE_RUN).ok);
  EXPECT_EQ(sim.RequestCount(RequestKind::ConnectionState), 5);
}

// --- Streaming ---------------------------------------------------------------------------------

struct CaptureCase {
  const char* what;
  StreamFormat format;
  ULONG maximumBits;
  // Frames 0 and 1 of the default ramp, then the first frame of the second packet (frame 4).
  std::vector<std::uint8_t> firstFrames;
  std::vector<std::uint8_t> fifthFrame;
};

TEST_F(SimDeviceTest, CapturePacketsCarryTheRampInThePinFormat) {
  const CaptureCase cases[] = {
      {"16 bit", {2, 16, 16, 48000}, 24,
       {0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00}, {0x08, 0x00, 0x09, 0x00}},
      {"24 bit", {2, 24, 24, 44100}, 24,
       {0x5A, 0x00, 0x00, 0xA5, 0x01, 0x00, 0x5A, 0x02, 0x00, 0xA5, 0x03, 0x00},
       {0x5A, 0x08, 0x00, 0xA5, 0x09, 0x00}},
      {"24 in 32 bit", {2, 32, 24, 44100}, 32,
       {0x00, 0x5A, 0x00, 0x00, 0x00, 0xA5, 0x01, 0x00, 0x00, 0x5A, 0x02, 0x00, 0x00, 0xA5, 0x03, 0x00},
       {0x00, 0x5A, 0x08, 0x00, 0x00, 0xA5, 0x09, 0x00}},
  };
  int deviceNumber = 0;
  for (const CaptureCase& c : cases) {
    SCOPED_TRACE(c.what);
    SimFilterDescription device = SimKsSystem::Tx880(kOtherPath + std::to_wstring(++deviceNumber));
    device.pins[kCapturePin].ranges[0].maximumBitsPerSample = c.maximumBits;
    sim.AddFilter(device);
    SimHandle filter(K().createFile(device.devicePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    SimHandle pin;
    ASSERT_EQ(CreatePin(filter.get(), Connect(kCapturePin, c.format), pin), static_cast<DWORD>(ERROR_SUCCESS));
    const ULONG block = c.format.channels * c.format.bits / 8;
    Packet first(4 * block), second(4 * block);
    EXPECT_EQ(first.Submit(pin.get(), IOCTL_KS_READ_STREAM).error, static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(second.Submit(pin.get(), IOCTL_KS_READ_STREAM).error, static_cast<DWORD>(ERROR_IO_PENDING));

    // Paused pins hold their packets however far the clock goes.
    ASSERT_TRUE(SetState(pin.get(), KSSTATE_PAUSE).ok);
    sim.AdvanceFrames(100);
    EXPECT_FALSE(first.event.Signalled());

    ASSERT_TRUE(SetState(pin.get(), KSSTATE_RUN).ok);
    sim.AdvanceFrames(3);
    EXPECT_FALSE(first.event.Signalled());
    sim.AdvanceFrames(1);
    EXPECT_TRUE(first.event.Signalled());
    EXPECT_FALSE(second.event.Signalled());
    EXPECT_EQ(first.header.DataUsed, 4 * block);
    EXPECT_EQ(first.overlapped.Internal, 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(first.data.begin(), first.data.begin() + 2 * block), c.firstFrames);

    sim.AdvanceFrames(4);
    EXPECT_TRUE(second.event.Signalled());
    EXPECT_EQ(std::vector<std::uint8_t>(second.data.begin(), second.data.begin() + block), c.fifthFrame);
  }
}

TEST_F(SimDeviceTest, RenderPacketsAreRecordedInCompletionOrder) {
  SimHandle filter = OpenTx880();
  SimHandle pin;
  ASSERT_EQ(CreatePin(filter.get(), Connect(kRenderPin, {2, 16, 16, 44100}), pin), static_cast<DWORD>(ERROR_SUCCESS));
  Packet first(8), second(8);
  for (std::uint8_t i = 0; i < 8; ++i) {
    first.data[i] = i;
    second.data[i] = static_cast<std::uint8_t>(0x80 + i);
  }
  first.header.DataUsed = 8;
  second.header.DataUsed = 4;  // one frame of the two it could hold
  EXPECT_EQ(first.Submit(pin.get(), IOCTL_KS_WRITE_STREAM).error, static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_EQ(second.Submit(pin.get(), IOCTL_KS_WRITE_STREAM).error, static_cast<DWORD>(ERROR_IO_PENDING));
  // Reads on a render pin are refused.
  Packet wrongWay(8);
  EXPECT_EQ(wrongWay.Submit(pin.get(), IOCTL_KS_READ_STREAM).error, static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  ASSERT_TRUE(SetState(pin.get(), KSSTATE_RUN).ok);
  sim.AdvanceFrames(2);
  EXPECT_TRUE(first.event.Signalled());
  EXPECT_FALSE(second.event.Signalled());
  sim.AdvanceFrames(1);
  EXPECT_TRUE(second.event.Signalled());
  EXPECT_EQ(sim.RenderedBytes(),
            (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 0x80, 0x81, 0x82, 0x83}));
  EXPECT_EQ(sim.RequestCount(RequestKind::WriteStream), 2);
  EXPECT_EQ(sim.RequestCount(RequestKind::ReadStream), 1);
}

TEST_F(SimDeviceTest, StalledPacketsNeverCompleteButStopCancelsThem) {
  SimHandle filter = OpenTx880();
  SimHandle pin;
  ASSERT_EQ(CreatePin(filter.get(), Connect(kCapturePin), pin), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(SetState(pin.get(), KSSTATE_RUN).ok);
  sim.StallStreams(true);
  Packet packet(6 * 16);
  EXPECT_EQ(packet.Submit(pin.get(), IOCTL_KS_READ_STREAM).error, static_cast<DWORD>(ERROR_IO_PENDING));
  sim.AdvanceFrames(1000);
  EXPECT_FALSE(packet.event.Signalled());
  EXPECT_EQ(packet.overlapped.Internal, static_cast<ULONG_PTR>(STATUS_PENDING));

  ASSERT_TRUE(SetState(pin.get(), KSSTATE_STOP).ok);
  EXPECT_TRUE(packet.event.Signalled());
  EXPECT_EQ(packet.overlapped.Internal, kStatusCancelled);
  EXPECT_EQ(packet.header.DataUsed, 0u);
}

TEST_F(SimDeviceTest, ClosingAPinCancelsItsPendingPackets) {
  SimHandle filter = OpenTx880();
  SimHandle pin;
  ASSERT_EQ(CreatePin(filter.get(), Connect(kRenderPin), pin), static_cast<DWORD>(ERROR_SUCCESS));
  Packet packet(6 * 16);
  packet.header.DataUsed = 6 * 16;
  EXPECT_EQ(packet.Submit(pin.get(), IOCTL_KS_WRITE_STREAM).error, static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_EQ(sim.OpenHandles(), 2);
  pin.Reset();
  EXPECT_TRUE(packet.event.Signalled());
  EXPECT_EQ(packet.overlapped.Internal, kStatusCancelled);
  EXPECT_TRUE(sim.RenderedBytes().empty());
  EXPECT_EQ(sim.OpenHandles(), 1);
}

// --- Failure injection ---------------------------------------------------------------------------

TEST_F(SimDeviceTest, InjectedFailuresHitTheChosenOccurrenceOnly) {
  SimHandle filter = OpenTx880();
  sim.FailRequest(RequestKind::PinProperty, 2, ERROR_GEN_FAILURE);
  ULONG value = 0;
  std::vector<DWORD> errors;
  for (int i = 0; i < 3; ++i) {
    errors.push_back(PinProperty(filter.get(), kRenderPin, KSPROPERTY_PIN_DATAFLOW, &value, sizeof(value)).error);
  }
  EXPECT_EQ(errors, (std::vector<DWORD>{0, ERROR_GEN_FAILURE, 0}));
  EXPECT_EQ(sim.RequestCount(RequestKind::PinProperty), 3);

  sim.FailRequest(RequestKind::CreatePin, 0, ERROR_NOT_ENOUGH_MEMORY);
  SimHandle pin;
  EXPECT_EQ(CreatePin(filter.get(), Connect(kRenderPin), pin), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(CreatePin(filter.get(), Connect(kRenderPin), pin), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  sim.FailRequest(RequestKind::CreatePin, 0, 0);
  ASSERT_EQ(CreatePin(filter.get(), Connect(kRenderPin), pin), static_cast<DWORD>(ERROR_SUCCESS));

  sim.FailRequest(RequestKind::ConnectionState, 1, ERROR_DEVICE_NOT_CONNECTED);  // the pin's first
  const Answer refused = SetState(pin.get(), KSSTATE_PAUSE);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_TRUE(sim.PinInstances().back().stateHistory.empty());

  sim.FailRequest(RequestKind::WriteStream, 1, ERROR_DEVICE_NOT_CONNECTED);
  Packet packet(16);
  EXPECT_EQ(packet.Submit(pin.get(), IOCTL_KS_WRITE_STREAM).error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));

  sim.FailRequest(RequestKind::Open, sim.RequestCount(RequestKind::Open) + 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(K().createFile(kTx880Path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// --- Lifetime ------------------------------------------------------------------------------------

TEST(SimDeviceLifetime, TableIsPluggedWhileTheSimLivesAndRestoredAfter) {
  const ks::KsKernel real = ks::RealKernel();
  ASSERT_EQ(K().deviceIoControl, real.deviceIoControl);
  {
    SimKsSystem sim;
    EXPECT_NE(K().createFile, real.createFile);
    EXPECT_NE(K().deviceIoControl, real.deviceIoControl);
    EXPECT_NE(K().closeHandle, real.closeHandle);
    EXPECT_NE(K().getDeviceInterfaceAlias, real.getDeviceInterfaceAlias);
    EXPECT_NE(K().ksCreatePin, nullptr);
    EXPECT_THROW(SimKsSystem second, std::logic_error);

    // Handles the sim did not make go to the real CloseHandle. (Closing the event twice to
    // prove it would race with handles other threads create.)
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_TRUE(K().closeHandle(event));
    SetLastError(0);
    EXPECT_FALSE(K().closeHandle(reinterpret_cast<HANDLE>(ULONG_PTR{0x0FFFFFF0})));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // A pin left open and running with a packet pending is cleaned up by the destructor.
    sim.AddFilter(SimKsSystem::Tx880(kTx880Path));
    HANDLE filter = K().createFile(kTx880Path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ConnectRequest request = Connect(kCapturePin);
    HANDLE pin = nullptr;
    ASSERT_EQ(K().ksCreatePin(filter, &request.connect, GENERIC_READ, &pin), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(sim.OpenHandles(), 2);
  }
  EXPECT_EQ(K().createFile, real.createFile);
  EXPECT_EQ(K().deviceIoControl, real.deviceIoControl);
  EXPECT_EQ(K().closeHandle, real.closeHandle);
  EXPECT_EQ(K().getClassDevs, real.getClassDevs);
  EXPECT_EQ(K().enumDeviceInterfaces, real.enumDeviceInterfaces);
  EXPECT_EQ(K().getDeviceInterfaceDetail, real.getDeviceInterfaceDetail);
  EXPECT_EQ(K().getDeviceInterfaceAlias, real.getDeviceInterfaceAlias);
  EXPECT_EQ(K().destroyDeviceInfoList, real.destroyDeviceInfoList);
  EXPECT_EQ(K().ksCreatePin, real.ksCreatePin);
}

}  // namespace
}  // namespace tx880::sim
