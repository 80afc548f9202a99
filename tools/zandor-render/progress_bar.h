// A one-line progress bar on standard error, drawn only when standard error is a terminal and
// the file is long enough for a wait to be noticed. Nothing of it reaches a pipe or a log.
#pragma once

#include <chrono>
#include <cstdint>

class progress_bar {
public:
    // Files shorter than this many seconds render too fast to need a bar.
    static constexpr double min_seconds = 5.0;

    progress_bar(int64_t total_frames, int rate_hz);
    ~progress_bar();
    progress_bar(const progress_bar&) = delete;
    progress_bar& operator=(const progress_bar&) = delete;

    bool shown() const { return enabled_; }
    void update(int64_t done_frames);
    // Clears the line so that the report starts on a clean one.
    void finish();

private:
    bool enabled_ = false;
    int64_t total_frames_;
    int last_permille_ = -1;
    std::chrono::steady_clock::time_point last_draw_;
};
