// The binary interface between a VST3 host and a module, as far as this adapter and the
// test host need it: scalar types, result codes, interface IDs, the interfaces in vtable
// order and the records passed through them. Interfaces are classes of pure virtual methods
// with no data and no virtual destructor, so their vtables hold exactly the slots a host
// calls. The layout checks at the end hold on x86-64 Linux and on 32- and 64-bit Windows.
#pragma once

#include <cstddef>
#include <cstdint>

// Every method and export of the interface: stdcall on 32-bit Windows, as in COM.
#if defined(_WIN32) && !defined(_WIN64)
#define VST3_CALL __stdcall
#else
#define VST3_CALL
#endif

namespace vst3 {

using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using tresult = int32_t;
using TBool = uint8_t;
using char16 = char16_t;
using TChar = char16_t;
using String128 = char16[128];
using FIDString = const char*;
using ParamID = uint32_t;
using ParamValue = double;
using SampleRate = double;
using Sample32 = float;
using SpeakerArrangement = uint64_t;

// Result codes: COM's HRESULTs on Windows, small numbers elsewhere. Success is exactly 0.
#if defined(_WIN32)
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
#endif
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;

// A class or interface ID: 16 bytes, compared with memcmp (they hold zero bytes).
struct uid {
    unsigned char bytes[16];
};

// The 16 bytes of the ID written as the words (l1, l2, l3, l4). Windows stores the first
// eight bytes as a COM GUID (Data1, Data2, Data3 little-endian); other platforms store all
// four words big-endian.
constexpr uid make_uid(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
    uid u{};
    const uint32 words[4] = {l1, l2, l3, l4};
    for (int w = 0; w < 4; ++w) {
        for (int b = 0; b < 4; ++b) {
            u.bytes[4 * w + b] = static_cast<unsigned char>(words[w] >> (24 - 8 * b));
        }
    }
#if defined(_WIN32)
    for (int b = 0; b < 4; ++b) u.bytes[b] = static_cast<unsigned char>(l1 >> (8 * b));
    u.bytes[4] = static_cast<unsigned char>(l2 >> 16);
    u.bytes[5] = static_cast<unsigned char>(l2 >> 24);
    u.bytes[6] = static_cast<unsigned char>(l2);
    u.bytes[7] = static_cast<unsigned char>(l2 >> 8);
#endif
    return u;
}

// The words 12345678 9ABCDEF0 11223344 55667788 start 78 56 34 12 BC 9A F0 DE on Windows and
// 12 34 56 78 9A BC DE F0 elsewhere; both end 11 22 33 44 55 66 77 88.
#if defined(_WIN32)
static_assert(make_uid(0x12345678, 0x9ABCDEF0, 0x11223344, 0x55667788).bytes[0] == 0x78 &&
                  make_uid(0x12345678, 0x9ABCDEF0, 0x11223344, 0x55667788).bytes[5] == 0x9A,
              "COM byte order");
#else
static_assert(make_uid(0x12345678, 0x9ABCDEF0, 0x11223344, 0x55667788).bytes[0] == 0x12 &&
                  make_uid(0x12345678, 0x9ABCDEF0, 0x11223344, 0x55667788).bytes[5] == 0xBC,
              "big-endian byte order");
#endif

// clang-format off
constexpr uid FUnknown_iid                     = make_uid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr uid IPluginBase_iid                  = make_uid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
constexpr uid IPluginFactory_iid               = make_uid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr uid IPluginFactory2_iid              = make_uid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr uid IPluginFactory3_iid              = make_uid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
constexpr uid IComponent_iid                   = make_uid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr uid IAudioProcessor_iid              = make_uid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
constexpr uid IProcessContextRequirements_iid  = make_uid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
constexpr uid IEditController_iid              = make_uid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
constexpr uid IParameterFunctionName_iid       = make_uid(0x6D21E1DC, 0x91199D4B, 0xA2A02FEF, 0x6C1AE55C);
constexpr uid IComponentHandler_iid            = make_uid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
constexpr uid IBStream_iid                     = make_uid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
constexpr uid IParamValueQueue_iid             = make_uid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
constexpr uid IParameterChanges_iid            = make_uid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
// clang-format on

// Media types, bus directions and types, bus flags.
constexpr int32 kAudio = 0;
constexpr int32 kEvent = 1;
constexpr int32 kInput = 0;
constexpr int32 kOutput = 1;
constexpr int32 kMain = 0;
constexpr uint32 kDefaultActive = 1;
// Process modes and sample sizes.
constexpr int32 kRealtime = 0;
constexpr int32 kPrefetch = 1;
constexpr int32 kOffline = 2;
constexpr int32 kSample32 = 0;
constexpr int32 kSample64 = 1;
// Speaker arrangements this adapter knows.
constexpr SpeakerArrangement kSpeakerArrEmpty = 0;
constexpr SpeakerArrangement kSpeakerArrMono = 1u << 19;
constexpr SpeakerArrangement kSpeakerArrStereo = 0x3;
// Parameter flags.
constexpr int32 kCanAutomate = 1;
constexpr int32 kIsReadOnly = 2;
constexpr int32 kIsList = 8;
constexpr int32 kIsBypass = 0x10000;
constexpr int32 kRootUnitId = 0;
// Factory and class values.
constexpr int32 kUnicode = 16;
constexpr int32 kManyInstances = 0x7FFFFFFF;
constexpr ParamID kNoParamId = 0xFFFFFFFFu;

// Records passed through the factory: default packing (all fields 4-byte aligned).
struct PFactoryInfo {
    char vendor[64];
    char url[256];
    char email[128];
    int32 flags;
};
struct PClassInfo {
    unsigned char cid[16];
    int32 cardinality;
    char category[32];
    char name[64];
};
struct PClassInfo2 {
    unsigned char cid[16];
    int32 cardinality;
    char category[32];
    char name[64];
    uint32 classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};
struct PClassInfoW {
    unsigned char cid[16];
    int32 cardinality;
    char category[32];
    char16 name[64];
    uint32 classFlags;
    char subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

// The processing and controller records are packed at most to 16 (64-bit) or 8 (32-bit),
// which only guards against a compiler switch that would pack them tighter.
#if defined(_WIN64) || defined(__x86_64__)
#pragma pack(push, 16)
#else
#pragma pack(push, 8)
#endif

struct BusInfo {
    int32 mediaType;
    int32 direction;
    int32 channelCount;
    String128 name;
    int32 busType;
    uint32 flags;
};
struct RoutingInfo {
    int32 mediaType;
    int32 busIndex;
    int32 channel;
};
struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;
    ParamValue defaultNormalizedValue;
    int32 unitId;
    int32 flags;
};
struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};
struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags;
    union {
        Sample32** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParameterChanges;
class IEventList;
struct ProcessContext;

struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

#pragma pack(pop)

// Interfaces. Slot order is declaration order; FUnknown's three come first.
class FUnknown {
public:
    virtual tresult VST3_CALL queryInterface(const char* iid, void** obj) = 0;
    virtual uint32 VST3_CALL addRef() = 0;
    virtual uint32 VST3_CALL release() = 0;
};

class IPluginBase : public FUnknown {
public:
    virtual tresult VST3_CALL initialize(FUnknown* context) = 0;
    virtual tresult VST3_CALL terminate() = 0;
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult VST3_CALL getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 VST3_CALL countClasses() = 0;
    virtual tresult VST3_CALL getClassInfo(int32 index, PClassInfo* info) = 0;
    // cid and iid point to 16-byte IDs, not to text.
    virtual tresult VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) = 0;
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult VST3_CALL getClassInfo2(int32 index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult VST3_CALL getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult VST3_CALL setHostContext(FUnknown* context) = 0;
};

class IBStream : public FUnknown {
public:
    virtual tresult VST3_CALL read(void* buffer, int32 bytes, int32* bytesRead) = 0;
    virtual tresult VST3_CALL write(void* buffer, int32 bytes, int32* bytesWritten) = 0;
    virtual tresult VST3_CALL seek(int64 pos, int32 mode, int64* result) = 0;
    virtual tresult VST3_CALL tell(int64* pos) = 0;
};

class IComponent : public IPluginBase {
public:
    virtual tresult VST3_CALL getControllerClassId(char* classId) = 0;
    virtual tresult VST3_CALL setIoMode(int32 mode) = 0;
    virtual int32 VST3_CALL getBusCount(int32 type, int32 dir) = 0;
    virtual tresult VST3_CALL getBusInfo(int32 type, int32 dir, int32 index, BusInfo& bus) = 0;
    virtual tresult VST3_CALL getRoutingInfo(RoutingInfo& in, RoutingInfo& out) = 0;
    virtual tresult VST3_CALL activateBus(int32 type, int32 dir, int32 index, TBool state) = 0;
    virtual tresult VST3_CALL setActive(TBool state) = 0;
    virtual tresult VST3_CALL setState(IBStream* state) = 0;
    virtual tresult VST3_CALL getState(IBStream* state) = 0;
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                 SpeakerArrangement* outputs, int32 numOuts) = 0;
    virtual tresult VST3_CALL getBusArrangement(int32 dir, int32 index,
                                                SpeakerArrangement& arr) = 0;
    virtual tresult VST3_CALL canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 VST3_CALL getLatencySamples() = 0;
    virtual tresult VST3_CALL setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult VST3_CALL setProcessing(TBool state) = 0;
    virtual tresult VST3_CALL process(ProcessData& data) = 0;
    virtual uint32 VST3_CALL getTailSamples() = 0;
};

class IProcessContextRequirements : public FUnknown {
public:
    virtual uint32 VST3_CALL getProcessContextRequirements() = 0;
};

class IComponentHandler : public FUnknown {
public:
    virtual tresult VST3_CALL beginEdit(ParamID id) = 0;
    virtual tresult VST3_CALL performEdit(ParamID id, ParamValue normalized) = 0;
    virtual tresult VST3_CALL endEdit(ParamID id) = 0;
    virtual tresult VST3_CALL restartComponent(int32 flags) = 0;
};

class IPlugView;

class IEditController : public IPluginBase {
public:
    virtual tresult VST3_CALL setComponentState(IBStream* state) = 0;
    virtual tresult VST3_CALL setState(IBStream* state) = 0;
    virtual tresult VST3_CALL getState(IBStream* state) = 0;
    virtual int32 VST3_CALL getParameterCount() = 0;
    virtual tresult VST3_CALL getParameterInfo(int32 index, ParameterInfo& info) = 0;
    virtual tresult VST3_CALL getParamStringByValue(ParamID id, ParamValue normalized,
                                                    char16* text) = 0;
    virtual tresult VST3_CALL getParamValueByString(ParamID id, TChar* text,
                                                    ParamValue& normalized) = 0;
    virtual ParamValue VST3_CALL normalizedParamToPlain(ParamID id, ParamValue normalized) = 0;
    virtual ParamValue VST3_CALL plainParamToNormalized(ParamID id, ParamValue plain) = 0;
    virtual ParamValue VST3_CALL getParamNormalized(ParamID id) = 0;
    virtual tresult VST3_CALL setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult VST3_CALL setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* VST3_CALL createView(FIDString name) = 0;
};

class IParameterFunctionName : public FUnknown {
public:
    virtual tresult VST3_CALL getParameterIDFromFunctionName(int32 unitId, FIDString name,
                                                             ParamID& id) = 0;
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID VST3_CALL getParameterId() = 0;
    virtual int32 VST3_CALL getPointCount() = 0;
    virtual tresult VST3_CALL getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
    virtual tresult VST3_CALL addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
};

class IParameterChanges : public FUnknown {
public:
    virtual int32 VST3_CALL getParameterCount() = 0;
    virtual IParamValueQueue* VST3_CALL getParameterData(int32 index) = 0;
    virtual IParamValueQueue* VST3_CALL addParameterData(const ParamID& id, int32& index) = 0;
};

// Function name under which hosts look for a gain-reduction meter.
constexpr const char* kCompGainReduction = "Comp:GainReduction";
constexpr const char* kAudioEffectClass = "Audio Module Class";
constexpr const char* kSdkVersionString = "VST 3.7.14";

// clang-format off
static_assert(sizeof(PFactoryInfo) == 452 && offsetof(PFactoryInfo, flags) == 448, "PFactoryInfo");
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52, "PClassInfo");
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, subCategories) == 120 &&
              offsetof(PClassInfo2, sdkVersion) == 376, "PClassInfo2");
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, classFlags) == 180 &&
              offsetof(PClassInfoW, vendor) == 312 && offsetof(PClassInfoW, sdkVersion) == 568,
              "PClassInfoW");
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268, "BusInfo");
static_assert(sizeof(RoutingInfo) == 12, "RoutingInfo");
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, stepCount) == 772 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, flags) == 788, "ParameterInfo");
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16, "ProcessSetup");
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, channelBuffers32) == 16,
              "AudioBusBuffers");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ProcessData) == 48 && offsetof(ProcessData, inputs) == 20 &&
              offsetof(ProcessData, processContext) == 44, "ProcessData");
#else
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
              offsetof(ProcessData, processContext) == 72, "ProcessData");
#endif
// clang-format on

}  // namespace vst3
