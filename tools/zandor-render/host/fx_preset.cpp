#include "host/fx_preset.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "render_error.h"
#include "vst/base/vst_abi.h"

namespace {

// Layout of the files; integers are 32-bit big-endian, four-character codes first
// character first.
constexpr int32_t magic_container = vstFourCharCode('C', 'c', 'n', 'K');
constexpr int32_t magic_program_chunk = vstFourCharCode('F', 'P', 'C', 'h');
constexpr int32_t magic_program_values = vstFourCharCode('F', 'x', 'C', 'k');
constexpr int32_t magic_bank_chunk = vstFourCharCode('F', 'B', 'C', 'h');
constexpr int32_t magic_bank_programs = vstFourCharCode('F', 'x', 'B', 'k');

constexpr size_t at_byte_size = 4;
constexpr size_t at_fx_magic = 8;
constexpr size_t at_fx_id = 16;
constexpr size_t at_fx_version = 20;
constexpr size_t at_count = 24;
constexpr size_t at_program_name = 28;
constexpr size_t program_name_bytes = 28;
constexpr size_t at_program_content = 56;  // chunk size then chunk, or the parameter values
constexpr size_t at_bank_chunk_size = 156;

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

uint32_t get_u32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

}  // namespace

std::vector<uint8_t> encode_fx_program(const fx_preset& preset) {
    std::vector<uint8_t> out;
    const bool values = preset.what == fx_preset::content::parameters;
    put_u32(out, static_cast<uint32_t>(magic_container));
    put_u32(out, 0);  // byte size, filled in below
    put_u32(out, static_cast<uint32_t>(values ? magic_program_values : magic_program_chunk));
    put_u32(out, 1);
    put_u32(out, static_cast<uint32_t>(preset.fx_id));
    put_u32(out, static_cast<uint32_t>(preset.fx_version));
    put_u32(out, static_cast<uint32_t>(values ? preset.parameters.size() : preset.count));
    char name[program_name_bytes] = {};
    std::strncpy(name, preset.program_name.c_str(), program_name_bytes - 1);
    out.insert(out.end(), name, name + program_name_bytes);
    if (values) {
        for (float v : preset.parameters) {
            uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            put_u32(out, bits);
        }
    } else {
        put_u32(out, static_cast<uint32_t>(preset.chunk.size()));
        out.insert(out.end(), preset.chunk.begin(), preset.chunk.end());
    }
    const uint32_t byte_size = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[at_byte_size + i] = static_cast<uint8_t>(byte_size >> (24 - 8 * i));
    return out;
}

fx_preset decode_fx_preset(const uint8_t* data, size_t size, const std::string& file_name) {
    auto damaged = [&](const std::string& why) {
        return render_error(exit_status::preset, file_name + " is not a usable VST preset: " + why);
    };
    if (size < at_program_content || static_cast<int32_t>(get_u32(data)) != magic_container)
        throw damaged("it does not start like a preset file");
    // Hosts differ in what they store here, so the field is trusted only as far as it
    // agrees with the file: it may not claim more bytes than there are.
    const uint64_t byte_size = get_u32(data + at_byte_size);
    if (byte_size + 8 > size) throw damaged("the file is shorter than its header says");

    fx_preset p;
    const int32_t fx_magic = static_cast<int32_t>(get_u32(data + at_fx_magic));
    p.fx_id = static_cast<int32_t>(get_u32(data + at_fx_id));
    p.fx_version = static_cast<int32_t>(get_u32(data + at_fx_version));
    p.count = static_cast<int32_t>(get_u32(data + at_count));

    if (fx_magic == magic_program_chunk || fx_magic == magic_program_values) {
        const char* name = reinterpret_cast<const char*>(data + at_program_name);
        p.program_name.assign(name, strnlen(name, program_name_bytes));
    }
    // A chunk is its 32-bit size at `at`, then that many bytes, all within the file.
    auto read_chunk = [&](size_t at) {
        if (size < at + 4) throw damaged("the chunk size is missing");
        const uint64_t chunk_size = get_u32(data + at);
        if (chunk_size > size - (at + 4)) throw damaged("the chunk is shorter than its size says");
        p.chunk.assign(data + at + 4, data + at + 4 + chunk_size);
    };
    if (fx_magic == magic_program_chunk) {
        read_chunk(at_program_content);
        return p;
    }
    if (fx_magic == magic_program_values) {
        p.what = fx_preset::content::parameters;
        if (p.count < 0 || static_cast<uint64_t>(p.count) * 4 > size - at_program_content)
            throw damaged("it holds fewer parameter values than it says");
        for (int32_t i = 0; i < p.count; ++i) {
            const uint32_t bits = get_u32(data + at_program_content + 4 * static_cast<size_t>(i));
            float v;
            std::memcpy(&v, &bits, sizeof v);
            p.parameters.push_back(v);
        }
        return p;
    }
    if (fx_magic == magic_bank_chunk) {
        p.is_bank = true;
        read_chunk(at_bank_chunk_size);
        return p;
    }
    if (fx_magic == magic_bank_programs)
        throw damaged("it is a bank of separate programs; save a single program (.fxp) instead");
    throw damaged("unknown content type " + describe_fx_id(fx_magic));
}

std::string describe_fx_id(int32_t id) {
    const uint32_t u = static_cast<uint32_t>(id);
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned char c = static_cast<unsigned char>(u >> shift);
        text += std::isprint(c) ? static_cast<char>(c) : '?';
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "' (0x%08X)", u);
    return text + hex;
}
