// A one-line progress bar on standard error, drawn only when standard error is a terminal and
// the file is long enough for a wait to be noticed. Nothing of it reaches a pipe or a log. One
// bar runs over the whole job, naming the pass it is in ("measuring", "searching 2",
// "writing"); it never runs backwards.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "delivery/render_job.h"

class progress_bar : public render_progress {
public:
    // Files shorter than this many seconds render too fast to need a bar.
    static constexpr double min_seconds = 5.0;

    progress_bar() = default;
    ~progress_bar() override;
    progress_bar(const progress_bar&) = delete;
    progress_bar& operator=(const progress_bar&) = delete;

    bool shown() const { return enabled_; }
    void stage(const std::string& name, double from, double to) override;
    // Shows a bar for a pass over `total_frames` frames where it is worth showing.
    void start(int64_t total_frames, int rate_hz) override;
    void update(int64_t done_frames) override;
    void finish() override {}
    // Clears the line so that the report starts on a clean one.
    void clear();

private:
    bool enabled_ = false;
    int64_t total_frames_ = 0;
    std::string stage_ = "limiting";
    double from_ = 0.0;
    double to_ = 1.0;
    int last_permille_ = -1;
    std::chrono::steady_clock::time_point last_draw_;
};
