#include "cli/progress_bar.h"

#include <unistd.h>

#include <cstdio>
#include <string>

void progress_bar::start(int64_t total_frames, int rate_hz) {
    total_frames_ = total_frames;
    last_permille_ = -1;
    enabled_ = isatty(STDERR_FILENO) == 1 && rate_hz > 0 && total_frames > 0 &&
               static_cast<double>(total_frames) / rate_hz > min_seconds;
}

progress_bar::~progress_bar() {
    finish();
}

void progress_bar::update(int64_t done_frames) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    const int permille = static_cast<int>(done_frames * 1000 / total_frames_);
    // Ten redraws a second are enough for the eye and cost nothing next to the audio.
    if (permille == last_permille_ || now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_permille_ = permille;
    last_draw_ = now;
    constexpr int width = 40;
    const int filled = permille * width / 1000;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '-');
    std::fprintf(stderr, "\rlimiting [%s] %3d%%", bar.c_str(), permille / 10);
    std::fflush(stderr);
}

void progress_bar::finish() {
    if (!enabled_) return;
    std::fprintf(stderr, "\r%60s\r", "");
    std::fflush(stderr);
    enabled_ = false;
}
