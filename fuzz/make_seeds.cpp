// Writes the seed corpora of the fuzz targets: states the limiter really saves, the records
// and event lists hosts really send, and a typical host session. Run from the build folder:
//   fuzz/make_seeds <source folder>/fuzz/corpus
#include <array>
#include <cstdio>
#include <string>

#include "fuzz_vst.h"
#include "support/record_queue.h"

namespace {

std::string corpus_folder;

void write_seed(const std::string& target, const std::string& name, const bytes& content) {
    const std::string path = corpus_folder + "/" + target + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    REQUIRE(f != nullptr);
    REQUIRE(std::fwrite(content.data(), 1, content.size(), f) == content.size());
    REQUIRE(std::fclose(f) == 0);
}

// Little-endian encoding, as the fuzz targets decode it.
template <typename T>
void put(bytes& b, T value) {
    const auto* p = reinterpret_cast<const unsigned char*>(&value);
    b.insert(b.end(), p, p + sizeof(T));
}
void put_sized(bytes& b, const bytes& content) {
    put<uint16_t>(b, static_cast<uint16_t>(content.size()));
    b.insert(b.end(), content.begin(), content.end());
}

// Settings a user might have saved in a project.
bytes saved_chunk(bool adjusted) {
    vst_effect fx;
    switch_on(fx);
    if (adjusted) {
        fx.set(0, 0.37f);
        fx.set(1, 0.81f);
        fx.set(2, 0.55f);
    }
    return checked_chunk(fx);
}

void put_audio(bytes& b, size_t frames, float amplitude) {
    for (size_t i = 0; i < frames; ++i) {
        put<int16_t>(b, static_cast<int16_t>(amplitude * 32767.0f * ((i / 50) % 2 ? 1.0f : -0.5f)));
    }
}

void put_host_state(bytes& b, bool has_time) {
    put<uint8_t>(b, static_cast<uint8_t>((has_time ? 1 : 0) | (kVstProcessLevelRealtime << 5)));
    put<double>(b, 88200.0);
    put<double>(b, 120.0);
}

// An event list as the fuzz targets decode it: MIDI events of the given bytes and offsets.
void put_midi_list(bytes& b, const std::vector<std::array<uint8_t, 4>>& messages) {
    put<uint8_t>(b, static_cast<uint8_t>(messages.size()));
    for (size_t i = 0; i < messages.size(); ++i) {
        put<uint8_t>(b, 0x01);
        put<uint8_t>(b, static_cast<uint8_t>(10 * i));
        for (uint8_t m : messages[i]) put<uint8_t>(b, m);
    }
    put<uint8_t>(b, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    corpus_folder = argv[1];

    const bytes adjusted = saved_chunk(true);
    const bytes defaults = saved_chunk(false);
    write_seed("vst_chunk", "limiter-adjusted", adjusted);
    write_seed("vst_chunk", "limiter-defaults", defaults);
    bytes other = adjusted;
    const std::string id = "tarnwick-zandorlimiter-1";
    const size_t at = std::string(other.begin(), other.end()).find(id);
    REQUIRE(at != std::string::npos);
    other[at] = 'T';
    write_seed("vst_chunk", "another-plugin", other);
    write_seed("vst_chunk", "empty", bytes());

    // A CLAP state is the chunk, after one byte choosing the stream's piece size and the
    // channel configuration.
    for (const auto& [name, chunk] :
         {std::pair{"limiter-adjusted", adjusted}, std::pair{"another-plugin", other}}) {
        bytes seed{6};
        seed.insert(seed.end(), chunk.begin(), chunk.end());
        write_seed("clap_state", name, seed);
    }

    // The stream fuzzer reads the same framing, records of every type among them.
    write_seed("state", "limiter-adjusted", adjusted);
    bytes two_blocks = defaults;
    two_blocks.insert(two_blocks.end(), adjusted.begin(), adjusted.end());
    write_seed("state", "two-blocks", two_blocks);
    bytes extension_payload(64 + 4 + 3, 0);
    std::string("some-key").copy(reinterpret_cast<char*>(extension_payload.data()), 8);
    extension_payload[64] = 3;
    bytes tempo, bypass, integer;
    put<float>(tempo, 140.0f);
    put<int32_t>(bypass, 1);
    put<int32_t>(integer, 1);
    put<int32_t>(integer, 5);
    write_seed(
        "state", "every-record-type",
        framed_chunk({payload_record(-1, 2, {0}), real_record(-1, 2, 0.05f),
                      payload_record(-1, 5, integer), payload_record(-1, 9, tempo),
                      payload_record(-1, 10, bypass), payload_record(-1, 13, {}),
                      payload_record(-1, 14, extension_payload), payload_record(-1, 3, {0})}));

    // process: flags (stereo, not in place, one call), position, records, frames, audio.
    bytes timed;
    put<uint8_t>(timed, 0x08 | 0x20);
    put<int64_t>(timed, 1000);
    const std::vector<bytes> events = {real_record(1016, 0, 0.2f), real_record(1100, 1, 0.5f),
                                       payload_record(1200, 10, bypass), real_record(-1, 2, 0.01f),
                                       real_record(5000, 0, 1.0f)};
    put<uint16_t>(timed, static_cast<uint16_t>(events.size()));
    for (const bytes& e : events) put_sized(timed, e);
    for (int call = 0; call < 2; ++call) {
        put<uint16_t>(timed, 700);
        put_audio(timed, 1400, 0.9f);
    }
    write_seed("process_events", "parameters-and-bypass-in-two-blocks", timed);

    // processEvents: transport, then three rounds of an event list, a block and a position.
    bytes midi;
    put_host_state(midi, true);
    put_midi_list(midi, {{{0x90, 60, 100, 0}},
                         {{0x90, 60, 0, 0}},
                         {{0xE0, 0, 0x40, 0}},
                         {{0xFF, 0, 0, 0}},
                         {{0xF0, 1, 2, 0}},
                         {{0xB3, 7, 127, 0}}});
    put<uint16_t>(midi, 512);
    put_audio(midi, 1024, 0.5f);
    put<double>(midi, 88712.0);
    write_seed("vst_events", "notes-bend-reset-sysex-control", midi);

    // A host session: set-up, automation, blocks larger than announced, state saved and
    // loaded, texts read.
    bytes session;
    put_host_state(session, false);
    put<uint8_t>(session, 0);  // round to nearest
    auto op = [&](VstInt32 opcode, VstInt32 index, int16_t value, float opt) {
        put<uint8_t>(session, static_cast<uint8_t>(opcode + 10));
        put<uint8_t>(session, 0x01);  // any index, small value, with its pointer
        put<int32_t>(session, index);
        put<int16_t>(session, value);
        put<float>(session, opt);
    };
    op(effSetSampleRate, 0, 0, 48000.0f);
    op(effSetBlockSize, 0, 0, 0.0f);
    put<int16_t>(session, 256);
    op(effMainsChanged, 0, 1, 0.0f);
    put<uint8_t>(session, 230);  // setParameter
    put<uint16_t>(session, 1);
    put<float>(session, 0.2f);
    put<uint8_t>(session, 211);  // processReplacing beyond the announced size
    put<uint16_t>(session, 600);
    put_audio(session, 1200, 0.9f);
    op(effGetParamDisplay, 0, 0, 0.0f);
    op(effGetChunk, 0, 0, 0.0f);
    op(effSetChunk, 0, 0, 0.0f);
    put_sized(session, adjusted);
    op(effCanDo, 0, 0, 0.0f);
    put_sized(session, bytes{'b', 'y', 'p', 'a', 's', 's'});
    put<uint8_t>(session, 220);  // accumulating process
    put<uint16_t>(session, 100);
    put_audio(session, 200, 0.3f);
    op(effClose, 0, 0, 0.0f);
    write_seed("dispatcher", "host-session", session);
    return 0;
}
