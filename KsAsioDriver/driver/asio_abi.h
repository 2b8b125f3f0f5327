// The ASIO driver interface as hosts see it: scalar types, structures, constants and IASIO.
// Hosts are compiled with Microsoft's compiler, so every layout here is pinned by static_asserts.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

// long is 32 bits on Windows in both the 32- and 64-bit builds.
static_assert(sizeof(long) == 4, "ASIO needs the Windows LLP64/ILP32 long");

using ASIOBool = long;
using ASIOError = long;
using ASIOSampleType = long;
using ASIOSampleRate = double;

enum : ASIOBool { ASIOFalse = 0, ASIOTrue = 1 };

enum : ASIOError {
    ASE_OK = 0,
    ASE_SUCCESS = 0x3f4847a0,
    ASE_NotPresent = -1000,
    ASE_HWMalfunction = -999,
    ASE_InvalidParameter = -998,
    ASE_InvalidMode = -997,
    ASE_SPNotAdvancing = -996,
    ASE_NoClock = -995,
    ASE_NoMemory = -994,
};

enum : ASIOSampleType {
    ASIOSTInt16MSB = 0,
    ASIOSTInt24MSB = 1,
    ASIOSTInt32MSB = 2,
    ASIOSTFloat32MSB = 3,
    ASIOSTFloat64MSB = 4,
    ASIOSTInt16LSB = 16,
    ASIOSTInt24LSB = 17,
    ASIOSTInt32LSB = 18,
    ASIOSTFloat32LSB = 19,
    ASIOSTFloat64LSB = 20,
};

// Time-info flags (AsioTimeInfo::flags).
enum : unsigned long {
    kSystemTimeValid = 1,
    kSamplePositionValid = 2,
    kSampleRateValid = 4,
    kSpeedValid = 8,
    kSampleRateChanged = 16,
    kClockSourceChanged = 32,
};

// asioMessage selectors.
enum : long {
    kAsioSelectorSupported = 1,
    kAsioEngineVersion = 2,
    kAsioResetRequest = 3,
    kAsioBufferSizeChange = 4,
    kAsioResyncRequest = 5,
    kAsioLatenciesChanged = 6,
    kAsioSupportsTimeInfo = 7,
    kAsioSupportsTimeCode = 8,
    kAsioMMCCommand = 9,
    kAsioSupportsInputMonitor = 10,
    kAsioSupportsInputGain = 11,
    kAsioSupportsInputMeter = 12,
    kAsioSupportsOutputGain = 13,
    kAsioSupportsOutputMeter = 14,
    kAsioOverload = 15,
};

// future() selectors.
enum : long {
    kAsioEnableTimeCodeRead = 1,
    kAsioDisableTimeCodeRead = 2,
    kAsioSetInputMonitor = 3,
    kAsioTransport = 4,
    kAsioSetInputGain = 5,
    kAsioGetInputMeter = 6,
    kAsioSetOutputGain = 7,
    kAsioGetOutputMeter = 8,
    kAsioCanInputMonitor = 9,
    kAsioCanTimeInfo = 10,
    kAsioCanTimeCode = 11,
    kAsioCanTransport = 12,
    kAsioCanInputGain = 13,
    kAsioCanInputMeter = 14,
    kAsioCanOutputGain = 15,
    kAsioCanOutputMeter = 16,
};

// Microsoft's compiler lays these out under 4-byte packing, so doubles are only 4-aligned.
#pragma pack(push, 4)

struct ASIOSamples {
    unsigned long hi;
    unsigned long lo;
};

struct ASIOTimeStamp {
    unsigned long hi;
    unsigned long lo;
};

struct ASIOClockSource {
    long index;
    long associatedChannel;
    long associatedGroup;
    ASIOBool isCurrentSource;
    char name[32];
};

struct ASIOChannelInfo {
    long channel;
    ASIOBool isInput;
    ASIOBool isActive;
    long channelGroup;
    ASIOSampleType type;
    char name[32];
};

struct ASIOBufferInfo {
    ASIOBool isInput;
    long channelNum;
    void* buffers[2];
};

struct AsioTimeInfo {
    double speed;
    ASIOTimeStamp systemTime;
    ASIOSamples samplePosition;
    ASIOSampleRate sampleRate;
    unsigned long flags;
    char reserved[12];
};

struct ASIOTimeCode {
    double speed;
    ASIOSamples timeCodeSamples;
    unsigned long flags;
    char future[64];
};

struct ASIOTime {
    long reserved[4];
    AsioTimeInfo timeInfo;
    ASIOTimeCode timeCode;
};

// The callbacks use the C default convention (__cdecl on x86).
struct ASIOCallbacks {
    void (__cdecl* bufferSwitch)(long doubleBufferIndex, ASIOBool directProcess);
    void (__cdecl* sampleRateDidChange)(ASIOSampleRate sRate);
    long (__cdecl* asioMessage)(long selector, long value, void* message, double* opt);
    ASIOTime* (__cdecl* bufferSwitchTimeInfo)(ASIOTime* params, long doubleBufferIndex,
                                              ASIOBool directProcess);
};

#pragma pack(pop)

static_assert(sizeof(ASIOSamples) == 8);
static_assert(sizeof(ASIOTimeStamp) == 8);
static_assert(sizeof(ASIOClockSource) == 48);
static_assert(sizeof(ASIOChannelInfo) == 52);
static_assert(sizeof(ASIOBufferInfo) == (sizeof(void*) == 4 ? 16 : 24));
static_assert(offsetof(ASIOBufferInfo, buffers) == 8);
static_assert(sizeof(AsioTimeInfo) == 48);
static_assert(offsetof(AsioTimeInfo, sampleRate) == 24);
static_assert(offsetof(AsioTimeInfo, flags) == 32);
static_assert(sizeof(ASIOTimeCode) == 84);
static_assert(offsetof(ASIOTimeCode, flags) == 16);
static_assert(sizeof(ASIOTime) == 148);
static_assert(offsetof(ASIOTime, timeInfo) == 16);
static_assert(offsetof(ASIOTime, timeCode) == 64);
static_assert(sizeof(ASIOCallbacks) == 4 * sizeof(void*));

// IASIO: the three IUnknown slots (__stdcall), then plain member functions in this exact order.
// On i686 GCC gives member functions __thiscall, which is what hosts use. No virtual destructor:
// it would add slots and shift the table.
struct IASIO : public IUnknown {
    virtual ASIOBool init(void* sysHandle) = 0;
    virtual void getDriverName(char* name) = 0;
    virtual long getDriverVersion() = 0;
    virtual void getErrorMessage(char* string) = 0;
    virtual ASIOError start() = 0;
    virtual ASIOError stop() = 0;
    virtual ASIOError getChannels(long* numInputChannels, long* numOutputChannels) = 0;
    virtual ASIOError getLatencies(long* inputLatency, long* outputLatency) = 0;
    virtual ASIOError getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                                    long* granularity) = 0;
    virtual ASIOError canSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError getSampleRate(ASIOSampleRate* sampleRate) = 0;
    virtual ASIOError setSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError getClockSources(ASIOClockSource* clocks, long* numSources) = 0;
    virtual ASIOError setClockSource(long reference) = 0;
    virtual ASIOError getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) = 0;
    virtual ASIOError getChannelInfo(ASIOChannelInfo* info) = 0;
    virtual ASIOError createBuffers(ASIOBufferInfo* bufferInfos, long numChannels, long bufferSize,
                                    ASIOCallbacks* callbacks) = 0;
    virtual ASIOError disposeBuffers() = 0;
    virtual ASIOError controlPanel() = 0;
    virtual ASIOError future(long selector, void* opt) = 0;
    virtual ASIOError outputReady() = 0;
};

// Slot numbers of the IASIO table, for hosts and tests that check the layout.
namespace asio_slot {
inline constexpr int kInit = 3;
inline constexpr int kOutputReady = 23;
inline constexpr int kCount = 24;
}  // namespace asio_slot
