// Audio files through libsndfile: the input that is limited and the output that is written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/frame_sink.h"
#include "audio/frame_source.h"
#include "audio/sample_quantiser.h"

struct sf_private_tag;

// A text tag as libsndfile names it (SF_STR_TITLE and the like) and its text.
struct text_tag {
    int kind = 0;
    std::string text;
};

// The tool feeds mono and stereo files; the rates are the plug-in's to accept.
constexpr int most_channels = 2;

// The shape of an audio file: libsndfile's format code (container and sample type),
// channels, frames per second and length in frames.
struct audio_shape {
    int format = 0;
    int channels = 0;
    int rate_hz = 0;
    int64_t frames = 0;
};

// An input file, opened for reading as interleaved 32-bit floats, of any channel count (a
// render refuses more than most_channels; measuring takes them all). The constructor refuses
// a missing or unreadable file with render_error(input) naming the file as `shown_name` (the
// path when empty).
class audio_reader : public frame_source {
public:
    explicit audio_reader(const std::string& path, const std::string& shown_name = {});
    ~audio_reader() override;
    audio_reader(const audio_reader&) = delete;
    audio_reader& operator=(const audio_reader&) = delete;

    const audio_shape& shape() const { return shape_; }
    // The title, artist, album, date, comment, track number, genre, copyright and software
    // the file carries, in that order; those it lacks are left out.
    std::vector<text_tag> text_tags() const;

    // Reads up to `frames` frames; answers how many were read, 0 at the end. A decoder that
    // fails before the length the header states ends a truncated file (truncated() tells);
    // any other read error is thrown, not mistaken for the end of the file.
    int64_t read(float* interleaved, int64_t frames);
    const float* next(float* buffer, int64_t frames, int64_t& got) override {
        got = read(buffer, frames);
        return buffer;
    }

    // The length the file's header states, which a damaged file may not reach; libsndfile
    // reports the frames really there as shape().frames.
    int64_t stated_frames() const { return stated_frames_; }
    int64_t frames_read() const { return frames_read_; }
    // True once the whole file has been read and it held fewer frames than its header states.
    bool truncated() const { return frames_read_ < stated_frames_; }
    // Samples read so far that were NaN or infinite.
    int64_t nonfinite_samples() const { return nonfinite_; }

private:
    std::string path_;
    int64_t stated_frames_ = 0;
    int64_t frames_read_ = 0;
    int64_t nonfinite_ = 0;
    bool ended_ = false;  // the decoder failed before the stated end
    sf_private_tag* file_ = nullptr;
    audio_shape shape_;
};

// The format code of the output: --format if given, else the container that OUT's extension
// names, else the input's; the sample type from --bits, else the input's when the container
// takes it, else a lossless default of that container. Throws render_error(usage) for an
// unknown name or a combination libsndfile cannot write.
int choose_output_format(int input_format, int channels, int rate_hz, const std::string& out_path,
                         const std::optional<std::string>& format_name,
                         const std::optional<std::string>& bits);

// The rate nearest to `rate_hz` that the format's codec can carry (Opus: 8, 12, 16, 24 or
// 48 kHz; MPEG: the nine rates up to 48 kHz); `rate_hz` itself for other formats.
int container_rate(int format, int rate_hz);

// A short name of a format code for reports: "WAV 24-bit", "FLAC 16-bit", "OGG Vorbis".
std::string describe_format(int format);

// The names --format takes, for help and refusals: "wav, w64, ...".
std::string output_format_names();

// The file name extension of a format code, without the dot: "wav", "flac", "opus".
std::string format_extension(int format);

// Lossy formats decode to other samples than were encoded; their levels are measured on the
// written file read back.
bool is_lossy_format(int format);

// True for the integer sample types the tool rounds itself, where dither has a use.
bool is_integer_format(int format);

// How the output's samples are encoded.
struct output_encoding {
    int format = 0;
    std::optional<double> quality;  // 0 (smallest) to 1 (best)
    dither_kind dither = dither_kind::none;
    double bound = 1.0;  // no integer sample beyond this magnitude (linear)
    // Written where the container has room for them; the others are left out without a word.
    std::vector<text_tag> tags;
};

// An output written as interleaved 32-bit floats into an open descriptor (which stays the
// caller's). Integer formats are quantised here, rounded to nearest. The samples a reader of
// the file gets back go on to `written` (optional), the next stage, for formats that are not
// lossy: a lossy file decodes to other samples, which only reading it back can tell.
class audio_writer : public frame_sink {
public:
    audio_writer(int fd, const std::string& shown_name, const output_encoding& encoding,
                 int channels, int rate_hz, frame_sink* written);
    ~audio_writer() override;
    audio_writer(const audio_writer&) = delete;
    audio_writer& operator=(const audio_writer&) = delete;

    void write(const float* interleaved, int64_t frames) override;
    // Finishes the file (its header, the encoder's last packets); throws render_error(output).
    void close();

private:
    std::string name_;
    int channels_;
    sf_private_tag* sndfile_ = nullptr;
    std::optional<sample_quantiser> quantiser_;
    frame_sink* written_;
    std::vector<int32_t> words_;
    std::vector<float> decoded_;
};
