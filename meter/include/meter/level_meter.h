// The meter's interface: measures one stream of interleaved frames (sample peak, true peak,
// momentary, short-term and integrated loudness, loudness range), as any program that holds
// audio in memory can use it. Create one, add frames, read the figures; it depends on the
// standard library alone. The measuring runs on a thread of its own, so that it overlaps the work
// of the caller: add() copies the frames into a ring of fixed size (waiting only while the ring is
// full) and figures() waits until everything added has been measured. Memory does not grow with the
// length of the stream.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct level_figures {
    double sample_peak_dbfs;   // -inf for digital silence
    double true_peak_dbtp;     // -inf for silence, NaN when not measured
    double loudness_lufs;      // integrated loudness, -inf when too short or too quiet to gate
    double loudness_range_lu;  // -inf when too short (under 3 s) or too quiet to gate
    double momentary_lufs;     // the last 400 ms; -inf when too quiet
    double short_term_lufs;    // the last 3 s; -inf when too quiet
};

class level_meter {
public:
    // Any number of channels; the loudness weighs each as k_weighting::channel_weight says
    // (six are taken as 5.1: L, R, C, LFE, Ls, Rs, the LFE left out and the surrounds at
    // 1.41). `streams` (1 or 2) streams of the same shape, measured apart but by one worker: a
    // render's output and input, say, so that they take one core between them and their
    // K-weighting filters run side by side. Without the true peak, for passes that need the
    // loudness alone: several times faster.
    level_meter(int channels, int rate_hz, bool with_true_peak = true, int streams = 1);
    ~level_meter();
    level_meter(const level_meter&) = delete;
    level_meter& operator=(const level_meter&) = delete;

    // Hands `frames` interleaved frames of a stream to the worker; the caller may reuse its
    // buffer at once.
    void add(const float* interleaved, int64_t frames, int stream = 0);
    // Room for `frames` frames of a stream in the ring, for the caller to fill in place and
    // hand over with commit() instead of add(); null where the room is not in one piece
    // (add() then). Waits while the ring is too full.
    float* reserve(int64_t frames, int stream = 0);
    // Hands over the first `frames` frames of the room reserve() gave.
    void commit(int64_t frames, int stream = 0);
    // The figures of everything added to a stream so far, once the worker has measured it all.
    level_figures figures(int stream = 0) const;
    int channels() const { return channels_; }

private:
    // Each stream's meters and its ring between the caller and the worker.
    struct stream_state;

    void measure(stream_state& s, int64_t start, int64_t frames);
    void measure_pair(int64_t start_a, int64_t start_b, int64_t frames);
    void run_worker();
    bool has_pending(int64_t at_least) const;

    int channels_;
    int64_t ring_frames_;
    std::vector<std::unique_ptr<stream_state>> streams_;
    bool stopping_ = false;
    mutable bool draining_ = false;  // figures() waits for the last frames added
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::thread worker_;
};
