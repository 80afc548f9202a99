#include "meter/level_meter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "loudness_meter.h"
#include "sample_peak.h"
#include "true_peak_meter.h"

namespace {

double to_db(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

// Enough for the worker to fall nearly three seconds behind at 48 kHz before the caller waits.
constexpr int64_t ring_frames = 1 << 17;
// The worker is woken once this much has gathered, not for every small block: waking a
// thread costs more than measuring a few hundred frames.
constexpr int64_t batch_frames = 1 << 15;

}  // namespace

struct level_meter::stream_state {
    stream_state(int channels, int rate_hz, bool with_true_peak);
    loudness_meter loudness;
    // The true-peak stage; null when not measured. Any stage that reads the reconstructed
    // peak (add frames, read the peak so far) can take its place.
    std::unique_ptr<true_peak_meter> true_peak;
    float sample_peak = 0.0f;
    // The ring between the caller and the worker, counted in frames since the start;
    // the worker owns [measured, added), the caller the rest.
    std::vector<float> ring;
    int64_t added = 0;
    int64_t measured = 0;
};

level_meter::stream_state::stream_state(int channels, int rate_hz, bool with_true_peak)
    : loudness(channels, rate_hz),
      true_peak(with_true_peak ? std::make_unique<true_peak_meter>(channels) : nullptr),
      ring(static_cast<size_t>(ring_frames * channels)) {}

level_meter::level_meter(int channels, int rate_hz, bool with_true_peak, int streams)
    : channels_(channels), ring_frames_(ring_frames) {
    for (int i = 0; i < std::clamp(streams, 1, 2); ++i)
        streams_.push_back(std::make_unique<stream_state>(channels, rate_hz, with_true_peak));
    worker_ = std::thread([this] { run_worker(); });
}

level_meter::~level_meter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void level_meter::add(const float* interleaved, int64_t frames, int stream) {
    stream_state& s = *streams_[static_cast<size_t>(stream)];
    while (frames > 0) {
        int64_t free_frames = 0;
        int64_t start = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return s.added - s.measured < ring_frames_; });
            free_frames = ring_frames_ - (s.added - s.measured);
            start = s.added % ring_frames_;
        }
        const int64_t n = std::min({frames, free_frames, ring_frames_ - start});
        std::copy(interleaved, interleaved + n * channels_,
                  &s.ring[static_cast<size_t>(start * channels_)]);
        commit(n, stream);
        interleaved += n * channels_;
        frames -= n;
    }
}

float* level_meter::reserve(int64_t frames, int stream) {
    stream_state& s = *streams_[static_cast<size_t>(stream)];
    std::unique_lock<std::mutex> lock(mutex_);
    const int64_t start = s.added % ring_frames_;
    if (frames > ring_frames_ - start) return nullptr;
    // The worker is awake whenever this waits: the ring then holds more than a batch.
    changed_.wait(lock, [&] { return ring_frames_ - (s.added - s.measured) >= frames; });
    return &s.ring[static_cast<size_t>(start * channels_)];
}

void level_meter::commit(int64_t frames, int stream) {
    stream_state& s = *streams_[static_cast<size_t>(stream)];
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int64_t before = s.added - s.measured;
        s.added += frames;
        wake = before < batch_frames && s.added - s.measured >= batch_frames;
    }
    if (wake) changed_.notify_all();
}

bool level_meter::has_pending(int64_t at_least) const {
    for (const auto& s : streams_)
        if (s->added - s->measured >= at_least) return true;
    return false;
}

void level_meter::run_worker() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] {
            return has_pending(batch_frames) || (draining_ && has_pending(1)) || stopping_;
        });
        if (!has_pending(1)) {
            if (stopping_) return;
            continue;
        }
        // Both streams together where both have frames waiting; the two advance nearly in
        // step, as a render's output follows its input a block or two behind.
        stream_state& a = *streams_[0];
        const int64_t start_a = a.measured % ring_frames_;
        const int64_t waiting_a = std::min(a.added - a.measured, ring_frames_ - start_a);
        if (streams_.size() == 2 && waiting_a > 0 && streams_[1]->added > streams_[1]->measured) {
            stream_state& b = *streams_[1];
            const int64_t start_b = b.measured % ring_frames_;
            const int64_t n = std::min({waiting_a, b.added - b.measured, ring_frames_ - start_b});
            lock.unlock();
            measure_pair(start_a, start_b, n);
            lock.lock();
            a.measured += n;
            b.measured += n;
        } else {
            stream_state& s = waiting_a > 0 ? a : *streams_.back();
            const int64_t start = s.measured % ring_frames_;
            const int64_t n = std::min(s.added - s.measured, ring_frames_ - start);
            lock.unlock();
            measure(s, start, n);
            lock.lock();
            s.measured += n;
        }
        changed_.notify_all();
    }
}

void level_meter::measure(stream_state& s, int64_t start, int64_t frames) {
    const float* interleaved = &s.ring[static_cast<size_t>(start * channels_)];
    s.sample_peak = sample_peak(interleaved, frames * channels_, s.sample_peak);
    s.loudness.add(interleaved, frames);
    if (s.true_peak) s.true_peak->add(interleaved, frames);
}

void level_meter::measure_pair(int64_t start_a, int64_t start_b, int64_t frames) {
    stream_state& a = *streams_[0];
    stream_state& b = *streams_[1];
    const float* x = &a.ring[static_cast<size_t>(start_a * channels_)];
    const float* y = &b.ring[static_cast<size_t>(start_b * channels_)];
    a.sample_peak = sample_peak(x, frames * channels_, a.sample_peak);
    b.sample_peak = sample_peak(y, frames * channels_, b.sample_peak);
    loudness_meter::add_pair(a.loudness, x, b.loudness, y, frames);
    if (a.true_peak) a.true_peak->add(x, frames);
    if (b.true_peak) b.true_peak->add(y, frames);
}

level_figures level_meter::figures(int stream) const {
    const stream_state& s = *streams_[static_cast<size_t>(stream)];
    std::unique_lock<std::mutex> lock(mutex_);
    draining_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return s.measured == s.added; });
    draining_ = false;
    const double sample_peak = s.sample_peak;
    // A true peak can never be below the sample peak.
    const double true_peak = s.true_peak ? to_db(std::max(s.true_peak->peak(), sample_peak))
                                         : std::numeric_limits<double>::quiet_NaN();
    return {to_db(sample_peak),           true_peak,
            s.loudness.integrated_lufs(), s.loudness.loudness_range_lu(),
            s.loudness.momentary_lufs(),  s.loudness.short_term_lufs()};
}
