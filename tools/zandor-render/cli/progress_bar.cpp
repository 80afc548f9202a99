#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

void progress_bar::stage(const std::string& name, double from, double to) {
    stage_ = name;
    from_ = from;
    to_ = to;
}

void progress_bar::start(int64_t total_frames, int rate_hz) {
    total_frames_ = total_frames;
    enabled_ = isatty(STDERR_FILENO) == 1 && rate_hz > 0 && total_frames > 0 &&
               static_cast<double>(total_frames) / rate_hz > min_seconds;
}

progress_bar::~progress_bar() {
    clear();
}

void progress_bar::update(int64_t done_frames) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    const double pass = static_cast<double>(std::min(done_frames, total_frames_)) /
                        static_cast<double>(total_frames_);
    const int permille =
        std::max(last_permille_, static_cast<int>(1000.0 * (from_ + (to_ - from_) * pass)));
    // Ten redraws a second are enough for the eye and cost nothing next to the audio.
    if (permille == last_permille_ || now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_permille_ = permille;
    last_draw_ = now;
    constexpr int width = 40;
    const int filled = permille * width / 1000;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '-');
    std::fprintf(stderr, "\r%-14s [%s] %3d%%", stage_.c_str(), bar.c_str(), permille / 10);
    std::fflush(stderr);
}

void progress_bar::clear() {
    if (last_permille_ >= 0) {
        std::fprintf(stderr, "\r%70s\r", "");
        std::fflush(stderr);
    }
    enabled_ = false;
    last_permille_ = -1;
}
