#include "level_meter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sample_peak.h"

namespace {

double to_db(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

// Enough for the worker to fall a second behind at 48 kHz before the caller waits.
constexpr int64_t ring_frames = 1 << 17;
// The worker is woken once this much has gathered, not for every small block: waking a
// thread costs more than measuring a few hundred frames.
constexpr int64_t batch_frames = 1 << 15;

}  // namespace

level_meter::level_meter(int channels, int rate_hz) : level_meter(channels, rate_hz, true) {}

level_meter::level_meter(int channels, int rate_hz, bool with_true_peak)
    : channels_(channels),
      loudness_(channels, rate_hz),
      true_peak_(with_true_peak ? std::make_unique<true_peak_meter>(channels) : nullptr),
      ring_(static_cast<size_t>(ring_frames * channels)),
      ring_frames_(ring_frames),
      worker_([this] { run_worker(); }) {}

level_meter::~level_meter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void level_meter::add(const float* interleaved, int64_t frames) {
    while (frames > 0) {
        int64_t free_frames = 0;
        int64_t start = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return added_ - measured_ < ring_frames_; });
            free_frames = ring_frames_ - (added_ - measured_);
            start = added_ % ring_frames_;
        }
        const int64_t n = std::min({frames, free_frames, ring_frames_ - start});
        std::copy(interleaved, interleaved + n * channels_,
                  &ring_[static_cast<size_t>(start * channels_)]);
        bool wake = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const int64_t before = added_ - measured_;
            added_ += n;
            wake = before < batch_frames && added_ - measured_ >= batch_frames;
        }
        if (wake) changed_.notify_all();
        interleaved += n * channels_;
        frames -= n;
    }
}

void level_meter::run_worker() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] {
            const int64_t pending = added_ - measured_;
            return pending >= batch_frames || (pending > 0 && draining_) || stopping_;
        });
        if (added_ == measured_) {
            if (stopping_) return;
            continue;
        }
        const int64_t start = measured_ % ring_frames_;
        const int64_t n = std::min(added_ - measured_, ring_frames_ - start);
        lock.unlock();
        measure(&ring_[static_cast<size_t>(start * channels_)], n);
        lock.lock();
        measured_ += n;
        changed_.notify_all();
    }
}

void level_meter::measure(const float* interleaved, int64_t frames) {
    sample_peak_ = sample_peak(interleaved, frames * channels_, sample_peak_);
    loudness_.add(interleaved, frames);
    if (true_peak_) true_peak_->add(interleaved, frames);
}

level_figures level_meter::figures() const {
    std::unique_lock<std::mutex> lock(mutex_);
    draining_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return measured_ == added_; });
    draining_ = false;
    const double sample_peak = sample_peak_;
    // A true peak can never be below the sample peak.
    const double true_peak = true_peak_ ? to_db(std::max(true_peak_->peak(), sample_peak))
                                        : std::numeric_limits<double>::quiet_NaN();
    return {to_db(sample_peak), true_peak, loudness_.integrated_lufs(),
            loudness_.loudness_range_lu()};
}
