// The files of the lv2apply test:
//   lv2apply_signal write FILE CHANNELS   one second of sines peaking at 0.9, 32-bit float
//   lv2apply_signal check IN OUT          OUT has IN's length and channels, and peaks just
//                                         below full scale (IN driven 6 dB over it)
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int rate = 44100;
constexpr float amplitude = 0.9f;

bool read(const char* path, SF_INFO& info, std::vector<float>& samples) {
    info = SF_INFO{};
    SNDFILE* f = sf_open(path, SFM_READ, &info);
    if (f == nullptr) return false;
    samples.resize(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    return got == info.frames;
}

int write(const char* path, int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path, SFM_WRITE, &info);
    if (f == nullptr) return 1;
    std::vector<float> samples(static_cast<size_t>(rate * channels));
    for (int t = 0; t < rate; ++t) {
        for (int c = 0; c < channels; ++c) {
            samples[static_cast<size_t>(t * channels + c)] =
                amplitude * static_cast<float>(std::sin(0.0731 * t + 1.3 * c));
        }
    }
    const bool ok = sf_writef_float(f, samples.data(), rate) == rate;
    sf_close(f);
    return ok ? 0 : 1;
}

int check(const char* in_path, const char* out_path) {
    SF_INFO in{}, out{};
    std::vector<float> a, b;
    if (!read(in_path, in, a) || !read(out_path, out, b)) {
        std::fprintf(stderr, "cannot read %s or %s\n", in_path, out_path);
        return 1;
    }
    if (in.frames != out.frames || in.channels != out.channels) {
        std::fprintf(stderr, "output has %lld frames of %d channels, input %lld of %d\n",
                     static_cast<long long>(out.frames), out.channels,
                     static_cast<long long>(in.frames), in.channels);
        return 1;
    }
    float peak = 0.0f;
    for (float x : b) peak = std::fabs(x) > peak ? std::fabs(x) : peak;
    if (!(peak > 0.95f && peak <= 1.0f)) {
        std::fprintf(stderr, "output peaks at %g, not just below full scale\n", peak);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 4 && mode == "write") return write(argv[2], std::atoi(argv[3]));
    if (argc == 4 && mode == "check") return check(argv[2], argv[3]);
    std::fprintf(stderr, "usage: %s write FILE CHANNELS | check IN OUT\n", argv[0]);
    return 2;
}
