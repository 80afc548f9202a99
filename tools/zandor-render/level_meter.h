// Measures one stream of interleaved frames: sample peak, true peak, integrated loudness and
// loudness range. The measuring runs on a thread of its own, so that it overlaps the work of
// the caller: add() copies the frames into a ring of fixed size (waiting only while the ring
// is full) and figures() waits until everything added has been measured. Memory does not
// grow with the length of the stream.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "loudness_meter.h"
#include "true_peak_meter.h"

struct level_figures {
    double sample_peak_dbfs;   // -inf for digital silence
    double true_peak_dbtp;     // -inf for silence, NaN when not measured
    double loudness_lufs;      // integrated loudness, -inf when too short or too quiet to gate
    double loudness_range_lu;  // -inf when too short (under 3 s) or too quiet to gate
};

class level_meter {
public:
    level_meter(int channels, int rate_hz);
    // Without the true peak, for passes that need the loudness alone: several times faster.
    level_meter(int channels, int rate_hz, bool with_true_peak);
    ~level_meter();
    level_meter(const level_meter&) = delete;
    level_meter& operator=(const level_meter&) = delete;

    // Hands `frames` interleaved frames to the worker; the caller may reuse its buffer at once.
    void add(const float* interleaved, int64_t frames);
    // The figures of everything added so far, once the worker has measured it all.
    level_figures figures() const;

private:
    void measure(const float* interleaved, int64_t frames);
    void run_worker();

    int channels_;
    loudness_meter loudness_;
    std::unique_ptr<true_peak_meter> true_peak_;  // null when not measured
    float sample_peak_ = 0.0f;

    // The ring between the caller and the worker, counted in frames since the start; the
    // worker owns [measured_, added_), the caller the rest.
    std::vector<float> ring_;
    int64_t ring_frames_;
    int64_t added_ = 0;
    int64_t measured_ = 0;
    bool stopping_ = false;
    mutable bool draining_ = false;  // figures() waits for the last frames added
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::thread worker_;
};
