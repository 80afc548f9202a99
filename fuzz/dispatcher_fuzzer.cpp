// A host's calls in any order: dispatcher opcodes from -10 to 200 with any index, value and
// float, each with a pointer of the shape the opcode expects (or none), mixed with processing
// and parameter calls, in whatever rounding mode the host left the thread.
#include <cfenv>
#include <cstring>
#include <memory>

#include "fuzz_vst.h"

namespace {

constexpr int rounding_modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};

// Calls besides the dispatcher opcodes, chosen by the selector byte.
enum : uint8_t {
    call_process_replacing = 211,
    call_process = 220,
    call_set_parameter = 230,
    call_get_parameter = 240,
};

// A buffer of exactly the size the opcode writes into or reads from, so that any access
// beyond it is caught.
size_t buffer_size(VstInt32 opcode) {
    switch (opcode) {
        case effGetProgramName:
        case effGetProgramNameIndexed: return kVstMaxProgNameLen;
        case effGetParamLabel: return kVstMaxParamStrLen;
        // Parameter names and display texts get 32 bytes, as hosts give in practice.
        case effGetParamDisplay:
        case effGetParamName:
        case effGetEffectName: return kVstMaxEffectNameLen;
        case effGetVendorString:
        case effGetProductString:
        case effShellGetNextPlugin: return kVstMaxVendorStrLen;
        case effGetInputProperties:
        case effGetOutputProperties: return sizeof(VstPinProperties);
        case effGetParameterProperties: return sizeof(VstParameterProperties);
        case effGetChunk:
        case effEditGetRect:
        case effGetSpeakerArrangement: return sizeof(void*);
        case effSetSpeakerArrangement: return sizeof(VstSpeakerArrangement);
        default: return 256;
    }
}

bool takes_text(VstInt32 opcode) {
    return opcode == effCanDo || opcode == effString2Parameter || opcode == effSetProgramName;
}

void dispatch_opcode(vst_effect& fx, fuzz_input& in, VstInt32 opcode) {
    const uint8_t shape = in.take<uint8_t>();
    VstInt32 index =
        (shape & 1) ? in.take<VstInt32>() : static_cast<VstInt32>(in.take_below(6)) - 1;
    VstIntPtr value = (shape & 2) ? static_cast<VstIntPtr>(in.take<int64_t>())
                                  : static_cast<VstIntPtr>(in.take<int16_t>());
    const float opt = in.take<float>();
    const bool null_pointer = (shape & 4) != 0;

    bytes buffer(buffer_size(opcode));
    bytes second(buffer_size(opcode));
    void* ptr = buffer.data();
    std::unique_ptr<fuzz_event_list> events;
    if (takes_text(opcode)) {
        buffer = in.take_sized();
        buffer.push_back(0);
        ptr = buffer.data();
    } else if (opcode == effSetChunk) {
        buffer = in.take_sized();
        ptr = buffer.data();
        value = static_cast<VstIntPtr>(buffer.size());
    } else if (opcode == effProcessEvents) {
        events = std::make_unique<fuzz_event_list>(in);
        ptr = events->get();
    } else if (opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement) {
        value = reinterpret_cast<VstIntPtr>(second.data());
    } else if (opcode == effSetBlockSize) {
        // A host announces what it will send; more than this is no block size but a typo.
        value = static_cast<VstIntPtr>(in.take<int16_t>()) * 2;
    }
    if (null_pointer) ptr = nullptr;
    fx.dispatch(opcode, index, value, ptr, opt);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    limiter_entry();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in(data, size);
    take_host_state(in);
    const int mode = rounding_modes[in.take<uint8_t>() & 3];
    std::fesetround(mode);
    {
        vst_effect fx;
        switch_on(fx);
        REQUIRE(std::fegetround() == mode);
        for (int calls = 0; calls < 200 && in.remaining() > 0; ++calls) {
            const uint8_t selector = in.take<uint8_t>();
            if (selector < call_process_replacing) {
                const VstInt32 opcode = static_cast<VstInt32>(selector) - 10;
                if (opcode == effClose) {
                    REQUIRE(fx.close() == 1);
                    break;
                }
                dispatch_opcode(fx, in, opcode);
            } else if (selector < call_process) {
                process_audio(fx, in, static_cast<VstInt32>(in.take_below(4097)));
            } else if (selector < call_set_parameter) {
                process_audio(fx, in, static_cast<VstInt32>(in.take_below(4097)), true);
            } else if (selector < call_get_parameter) {
                const VstInt32 index = static_cast<VstInt32>(in.take_below(6)) - 1;
                fx.set(index, in.take<float>());
            } else {
                const VstInt32 index = static_cast<VstInt32>(in.take_below(6)) - 1;
                const float v = fx.get(index);
                REQUIRE(v >= 0.0f && v <= 1.0f);
            }
            REQUIRE(std::fegetround() == mode);
        }
        if (fx.get() != nullptr) {
            checked_chunk(fx);
            REQUIRE(fx.close() == 1);
        }
    }
    REQUIRE(std::fegetround() == mode);
    std::fesetround(FE_TONEAREST);
    return 0;
}
