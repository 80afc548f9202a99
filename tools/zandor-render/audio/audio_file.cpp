#include "audio/audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render_error.h"

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct container {
    const char* name;
    int major;
    int default_subtype;  // used when the input's sample type does not fit the container
    bool takes_bits;      // false for lossy codecs, whose sample type is the codec
};

const container containers[] = {
    {"wav", SF_FORMAT_WAV, SF_FORMAT_PCM_24, true},
    {"w64", SF_FORMAT_W64, SF_FORMAT_PCM_24, true},
    {"rf64", SF_FORMAT_RF64, SF_FORMAT_PCM_24, true},
    {"aiff", SF_FORMAT_AIFF, SF_FORMAT_PCM_24, true},
    {"aif", SF_FORMAT_AIFF, SF_FORMAT_PCM_24, true},
    {"caf", SF_FORMAT_CAF, SF_FORMAT_PCM_24, true},
    {"au", SF_FORMAT_AU, SF_FORMAT_PCM_24, true},
    {"snd", SF_FORMAT_AU, SF_FORMAT_PCM_24, true},
    {"flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_24, true},
    {"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS, false},
    {"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS, false},
    {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS, false},
    {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III, false},
};

const container* container_named(const std::string& name) {
    const std::string n = lower(name);
    for (const container& c : containers) {
        if (n == c.name) return &c;
    }
    return nullptr;
}

const container* container_of_extension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    return container_named(path.substr(dot + 1));
}

int subtype_for_bits(const std::string& bits, int major) {
    const std::string b = lower(bits);
    if (b == "8")
        return major == SF_FORMAT_WAV || major == SF_FORMAT_W64 || major == SF_FORMAT_RF64
                   ? SF_FORMAT_PCM_U8
                   : SF_FORMAT_PCM_S8;
    if (b == "16") return SF_FORMAT_PCM_16;
    if (b == "24") return SF_FORMAT_PCM_24;
    if (b == "32") return SF_FORMAT_PCM_32;
    if (b == "float" || b == "32f") return SF_FORMAT_FLOAT;
    if (b == "double" || b == "64f") return SF_FORMAT_DOUBLE;
    throw render_error(exit_status::usage,
                       "--bits takes 8, 16, 24, 32, float or double (got '" + bits + "')");
}

// libsndfile's own words, without the "Error : " that some of its messages start with.
std::string sndfile_message(SNDFILE* file) {
    std::string message = sf_strerror(file);
    const std::string prefix = "Error : ";
    if (message.rfind(prefix, 0) == 0) message.erase(0, prefix.size());
    return message;
}

// Why sf_open failed. libsndfile keeps that in one variable for the whole process, which a
// file opened meanwhile on another thread of a batch may have reset to "No Error"; the
// system's reason (such as too many open files) is given then, else a plain one.
std::string open_failure() {
    const int system_error = errno;
    const std::string message = sndfile_message(nullptr);
    if (message.rfind("No Error", 0) != 0) return message;
    return system_error != 0 ? std::strerror(system_error) : "not a file libsndfile can open";
}

bool is_perceptual_codec(int subtype) {
    return subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS ||
           subtype == SF_FORMAT_MPEG_LAYER_I || subtype == SF_FORMAT_MPEG_LAYER_II ||
           subtype == SF_FORMAT_MPEG_LAYER_III;
}

bool writable(int format, int channels, int rate_hz) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate_hz;
    return sf_format_check(&info) != 0;
}

// A WAV written to a pipe cannot go back to fill in its length, so its writer states the
// largest size the field holds (signed or not) to mean "read to the end".
bool unknown_length(long long stated) {
    return stated == 0xFFFFFFFFLL || stated == 0x7FFFFFFFLL;
}

// The data length a header states when libsndfile found less data than that: its log then
// holds a line such as "data : 176400 (should be 99956)". Answers the stated and the real
// byte counts, or nothing when the header promised no more than is there.
struct data_lengths {
    long long stated = 0;
    long long real = 0;
};
std::optional<data_lengths> stated_lengths(SNDFILE* file) {
    char log[16384] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
    std::optional<data_lengths> found;
    for (const char* line = log; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        const std::string text(line, end ? static_cast<size_t>(end - line) : std::strlen(line));
        long long stated = 0, real = 0;
        char name[16] = {};
        if (std::sscanf(text.c_str(), " %15[A-Za-z ] : %lld (should be %lld)", name, &stated,
                        &real) == 3) {
            const std::string n = lower(name);
            if ((n.rfind("data", 0) == 0 || n.rfind("ssnd", 0) == 0) && real > 0 && stated > real &&
                !unknown_length(stated))
                found = data_lengths{stated, real};
        }
        if (end == nullptr) break;
        line = end + 1;
    }
    return found;
}

// The tags copied from input to output: the descriptive ones, not the encoder's own notes.
constexpr int copied_tags[] = {SF_STR_TITLE, SF_STR_ARTIST,    SF_STR_ALBUM,
                               SF_STR_DATE,  SF_STR_COMMENT,   SF_STR_TRACKNUMBER,
                               SF_STR_GENRE, SF_STR_COPYRIGHT, SF_STR_SOFTWARE};

}  // namespace

audio_reader::audio_reader(const std::string& path, const std::string& shown_name)
    : path_(shown_name.empty() ? path : shown_name) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        throw render_error(exit_status::input,
                           "cannot read " + path_ + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw render_error(exit_status::input, "cannot read " + path_ + ": it is a directory");
    SF_INFO info{};
    file_ = sf_open(path.c_str(), SFM_READ, &info);
    if (file_ == nullptr) {
        throw render_error(exit_status::input, "cannot read " + path_ + ": " + open_failure());
    }
    shape_ = {info.format, info.channels, info.samplerate, info.frames};
    stated_frames_ = info.frames;
    // The frame size in bytes from the data really there (its last frame may be partial).
    const std::optional<data_lengths> lengths = stated_lengths(file_);
    if (lengths && info.frames > 0) {
        const long long frame_bytes = std::max(
            1LL,
            std::llround(static_cast<double>(lengths->real) / static_cast<double>(info.frames)));
        stated_frames_ = std::max<int64_t>(info.frames, lengths->stated / frame_bytes);
    }
    if (info.channels < 1) {
        sf_close(file_);
        file_ = nullptr;
        throw render_error(exit_status::input, path_ + " has no channels");
    }
}

audio_reader::~audio_reader() {
    if (file_ != nullptr) sf_close(file_);
}

std::vector<text_tag> audio_reader::text_tags() const {
    std::vector<text_tag> tags;
    for (const int kind : copied_tags) {
        const char* text = sf_get_string(file_, kind);
        if (text != nullptr && *text != '\0') tags.push_back({kind, text});
    }
    return tags;
}

int64_t audio_reader::read(float* interleaved, int64_t frames) {
    if (ended_) return 0;
    const sf_count_t n = sf_readf_float(file_, interleaved, frames);
    if (n < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
        // A decoder that loses its way before the stated end (a cut-off FLAC or MP3) has
        // read a truncated file: what decoded is kept, and truncated() tells.
        if (frames_read_ + n >= stated_frames_) {
            throw render_error(exit_status::input,
                               "cannot read " + path_ + ": " + sndfile_message(file_));
        }
        ended_ = true;
    }
    frames_read_ += n;
    const float* end = interleaved + n * shape_.channels;
    // NaN and infinity are the floats whose exponent bits are all set; a count without a
    // branch lets the compiler take several samples at once.
    int64_t nonfinite = 0;
    for (const float* v = interleaved; v != end; ++v) {
        uint32_t bits = 0;
        std::memcpy(&bits, v, sizeof bits);
        nonfinite += (bits & 0x7f800000u) == 0x7f800000u;
    }
    nonfinite_ += nonfinite;
    return n;
}

int choose_output_format(int input_format, int channels, int rate_hz, const std::string& out_path,
                         const std::optional<std::string>& format_name,
                         const std::optional<std::string>& bits) {
    const int input_major = input_format & SF_FORMAT_TYPEMASK;
    const int input_subtype = input_format & SF_FORMAT_SUBMASK;

    const container* chosen = nullptr;
    if (format_name) {
        chosen = container_named(*format_name);
        if (chosen == nullptr) {
            throw render_error(exit_status::usage,
                               "--format takes wav, w64, rf64, aiff, caf, au, flac, ogg, opus or "
                               "mp3 (got '" +
                                   *format_name + "')");
        }
    } else {
        chosen = container_of_extension(out_path);
    }

    int major = chosen ? chosen->major : input_major;
    int subtype = input_subtype;
    // The input's byte order is kept only when the container stays the same.
    int endian = chosen && chosen->major != input_major ? 0 : input_format & SF_FORMAT_ENDMASK;
    if (bits) {
        if (chosen && !chosen->takes_bits) {
            throw render_error(exit_status::usage, "--bits does not apply to " +
                                                       std::string(chosen->name) +
                                                       ", whose codec fixes its sample type");
        }
        subtype = subtype_for_bits(*bits, major);
    } else if (chosen && (chosen->major != input_major || !chosen->takes_bits)) {
        // Opus and Vorbis share the OGG container, so the codec follows the name, not the input.
        if (!chosen->takes_bits || !writable(major | subtype, channels, rate_hz))
            subtype = chosen->default_subtype;
        // libsndfile's format check lets WAV carry MPEG, which it then cannot encode; a
        // perceptual codec's input decodes to floats and goes into a PCM container as PCM.
        if (chosen->takes_bits && is_perceptual_codec(subtype)) subtype = chosen->default_subtype;
    }

    rate_hz = container_rate(major | subtype, rate_hz);
    const int format = major | subtype | endian;
    if (writable(format, channels, rate_hz)) return format;
    if (writable(major | subtype, channels, rate_hz)) return major | subtype;
    throw render_error(exit_status::usage, "cannot write " + describe_format(major | subtype) +
                                               " with " + std::to_string(channels) +
                                               " channel(s) at " + std::to_string(rate_hz) +
                                               " Hz; choose another --format or --bits");
}

int container_rate(int format, int rate_hz) {
    // The rates each codec's stream can state; other containers take any rate.
    static const std::vector<int> opus_rates = {8000, 12000, 16000, 24000, 48000};
    static const std::vector<int> mpeg_rates = {8000,  11025, 12000, 16000, 22050,
                                                24000, 32000, 44100, 48000};
    const int subtype = format & SF_FORMAT_SUBMASK;
    const std::vector<int>* rates = subtype == SF_FORMAT_OPUS ? &opus_rates
                                    : is_perceptual_codec(subtype) && subtype != SF_FORMAT_VORBIS
                                        ? &mpeg_rates
                                        : nullptr;
    if (rates == nullptr) return rate_hz;
    int nearest = rates->front();
    for (int r : *rates) {
        if (std::abs(r - rate_hz) < std::abs(nearest - rate_hz)) nearest = r;
    }
    return nearest;
}

std::string describe_format(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    const int subtype = format & SF_FORMAT_SUBMASK;
    std::string text;
    for (const container& c : containers) {
        if (c.major != major) continue;
        text = lower(c.name);
        for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        break;
    }
    struct sample_type {
        int subtype;
        const char* words;
    };
    constexpr sample_type sample_types[] = {
        {SF_FORMAT_PCM_S8, "8-bit"},        {SF_FORMAT_PCM_U8, "8-bit"},
        {SF_FORMAT_PCM_16, "16-bit"},       {SF_FORMAT_PCM_24, "24-bit"},
        {SF_FORMAT_PCM_32, "32-bit"},       {SF_FORMAT_FLOAT, "32-bit float"},
        {SF_FORMAT_DOUBLE, "64-bit float"}, {SF_FORMAT_VORBIS, "Vorbis"},
        {SF_FORMAT_OPUS, "Opus"},           {SF_FORMAT_MPEG_LAYER_III, "Layer III"},
    };
    std::string sample;
    for (const sample_type& t : sample_types) {
        if (t.subtype == subtype) sample = t.words;
    }
    // Anything else is named as libsndfile names it.
    SF_FORMAT_INFO info{};
    if (text.empty()) {
        info.format = major;
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
            text = info.name;
    }
    if (sample.empty()) {
        info.format = subtype;
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
            sample = info.name;
    }
    if (text.empty()) text = "format " + std::to_string(format);
    return sample.empty() ? text : text + " " + sample;
}

std::string output_format_names() {
    std::string names;
    for (const container& c : containers) {
        if (std::string(c.name) == "aif" || std::string(c.name) == "snd" ||
            std::string(c.name) == "oga")
            continue;
        names += (names.empty() ? "" : ", ") + std::string(c.name);
    }
    return names;
}

std::string format_extension(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    const int subtype = format & SF_FORMAT_SUBMASK;
    if (major == SF_FORMAT_OGG && subtype == SF_FORMAT_OPUS) return "opus";
    for (const container& c : containers) {
        if (c.major == major) return c.name;
    }
    return "wav";
}

bool is_lossy_format(int format) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS ||
           subtype == SF_FORMAT_MPEG_LAYER_I || subtype == SF_FORMAT_MPEG_LAYER_II ||
           subtype == SF_FORMAT_MPEG_LAYER_III || subtype == SF_FORMAT_GSM610 ||
           subtype == SF_FORMAT_IMA_ADPCM || subtype == SF_FORMAT_MS_ADPCM ||
           subtype == SF_FORMAT_G721_32 || subtype == SF_FORMAT_G723_24 ||
           subtype == SF_FORMAT_G723_40 || subtype == SF_FORMAT_ULAW || subtype == SF_FORMAT_ALAW ||
           subtype == SF_FORMAT_DWVW_12 || subtype == SF_FORMAT_DWVW_16 ||
           subtype == SF_FORMAT_DWVW_24;
}

namespace {

// Bits of an integer sample type that the tool quantises itself; 0 for the others.
int integer_bits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: return 8;
        case SF_FORMAT_PCM_16: return 16;
        case SF_FORMAT_PCM_24: return 24;
        case SF_FORMAT_PCM_32: return 32;
        default: return 0;
    }
}

}  // namespace

bool is_integer_format(int format) {
    return integer_bits(format) > 0;
}

audio_writer::audio_writer(int fd, const std::string& shown_name, const output_encoding& encoding,
                           int channels, int rate_hz, frame_sink* written)
    : name_(shown_name), channels_(channels), written_(written) {
    SF_INFO info{};
    info.format = encoding.format;
    info.channels = channels;
    info.samplerate = rate_hz;
    // libsndfile gets a descriptor of its own, so that it may close it on any path without
    // touching the one the caller keeps.
    const int own = dup(fd);
    if (own < 0)
        throw render_error(exit_status::output,
                           "cannot write " + name_ + ": " + std::strerror(errno));
    sndfile_ = sf_open_fd(own, SFM_WRITE, &info, SF_TRUE);
    if (sndfile_ == nullptr) {
        ::close(own);
        throw render_error(exit_status::output, "cannot write " + name_ + ": " + open_failure());
    }
    if (encoding.quality) {
        // FLAC compresses harder and lossy encoders spend fewer bits as the level rises.
        double level = 1.0 - *encoding.quality;
        sf_command(sndfile_, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    }
    // Before any audio: some containers put their tags ahead of it. A container without room
    // for a tag refuses it, and the file is written without it.
    for (const text_tag& tag : encoding.tags) sf_set_string(sndfile_, tag.kind, tag.text.c_str());
    if (is_lossy_format(encoding.format)) written_ = nullptr;
    const int bits = integer_bits(encoding.format);
    if (bits > 0) {
        quantiser_.emplace(bits, encoding.dither, encoding.bound);
    } else {
        // Other sample types clip instead of wrapping round when a plug-in overshoots.
        sf_command(sndfile_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }
}

audio_writer::~audio_writer() {
    if (sndfile_ != nullptr) sf_close(sndfile_);
}

void audio_writer::write(const float* interleaved, int64_t frames) {
    if (frames <= 0) return;
    sf_count_t done = 0;
    if (quantiser_) {
        const size_t samples = static_cast<size_t>(frames * channels_);
        if (words_.size() < samples) {
            words_.resize(samples);
            decoded_.resize(samples);
        }
        // The decoded samples go straight into the next stage's room where it has one.
        float* room = written_ != nullptr ? written_->room(frames) : nullptr;
        float* decoded = room != nullptr ? room : decoded_.data();
        quantiser_->quantise(interleaved, words_.data(), decoded, static_cast<int64_t>(samples));
        done = sf_writef_int(sndfile_, words_.data(), frames);
        if (written_ != nullptr) written_->write(decoded, frames);
    } else {
        done = sf_writef_float(sndfile_, interleaved, frames);
        if (written_ != nullptr) written_->write(interleaved, frames);
    }
    if (done != frames) {
        throw render_error(exit_status::output,
                           "cannot write " + name_ + ": " + sndfile_message(sndfile_));
    }
}

void audio_writer::close() {
    const int result = sf_close(sndfile_);
    sndfile_ = nullptr;
    if (result != 0) {
        throw render_error(exit_status::output,
                           "cannot write " + name_ + ": " + sf_error_number(result));
    }
}
