// Audio files through libsndfile: the input that is limited and the output that is written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "atomic_file.h"

struct sf_private_tag;

// Sample rates and channel counts that the limiter accepts.
constexpr int lowest_rate_hz = 4000;
constexpr int highest_rate_hz = 192000;
constexpr int most_channels = 2;

// The shape of an audio file: libsndfile's format code (container and sample type),
// channels, frames per second and length in frames.
struct audio_shape {
    int format = 0;
    int channels = 0;
    int rate_hz = 0;
    int64_t frames = 0;
};

// An input file, opened for reading as interleaved 32-bit floats. The constructor refuses a
// missing or unreadable file, more than two channels and a rate outside 4 kHz to 192 kHz with
// render_error(input) naming the file.
class audio_reader {
public:
    explicit audio_reader(const std::string& path);
    ~audio_reader();
    audio_reader(const audio_reader&) = delete;
    audio_reader& operator=(const audio_reader&) = delete;

    const audio_shape& shape() const { return shape_; }

    // Reads up to `frames` frames; answers how many were read, 0 at the end. A read error is
    // thrown, not mistaken for the end of the file.
    int64_t read(float* interleaved, int64_t frames);

private:
    std::string path_;
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

// A short name of a format code for reports: "WAV 24-bit", "FLAC 16-bit", "OGG Vorbis".
std::string describe_format(int format);

// An output file written as interleaved 32-bit floats into a temporary file and moved into
// place by commit(); an output that is never committed leaves nothing behind.
class audio_writer {
public:
    audio_writer(const std::string& path, int format, int channels, int rate_hz);
    ~audio_writer();
    audio_writer(const audio_writer&) = delete;
    audio_writer& operator=(const audio_writer&) = delete;

    void write(const float* interleaved, int64_t frames);
    void commit();

private:
    atomic_file file_;
    sf_private_tag* sndfile_ = nullptr;
};
