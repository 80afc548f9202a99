// VST 2 preset files: a program (.fxp) holding an opaque chunk or a list of parameter values,
// and a bank (.fxb) holding an opaque chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct fx_preset {
    enum class content { chunk, parameters };
    content what = content::chunk;
    bool is_bank = false;  // an opaque bank chunk: the effect gets it with the preset flag off
    int32_t fx_id = 0;
    int32_t fx_version = 0;
    int32_t count = 0;  // parameters of a program, programs of a bank
    std::string program_name;
    std::vector<uint8_t> chunk;     // content::chunk
    std::vector<float> parameters;  // content::parameters, normalised 0..1
};

// The bytes of a program file: 'FPCh' with the chunk, or 'FxCk' with the parameter values.
// A program name longer than 27 characters is cut so that it keeps its terminating zero.
std::vector<uint8_t> encode_fx_program(const fx_preset& preset);

// Reads a program file ('FPCh' or 'FxCk') or an opaque bank ('FBCh'). Every length field is
// checked against the bytes that are really there. Throws render_error(preset) with a message
// that starts with `file_name`.
fx_preset decode_fx_preset(const uint8_t* data, size_t size, const std::string& file_name);

// "'ZdLm' (0x5A644C6D)": how an effect identifier is shown in messages.
std::string describe_fx_id(int32_t id);
