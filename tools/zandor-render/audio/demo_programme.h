// The built-in programme that --demo limits: drum-like transients over a sustained chord,
// made in code so that the demo needs no audio file.
#pragma once

#include <string>
#include <vector>

constexpr int demo_rate_hz = 44100;
constexpr double demo_seconds = 10.0;

// Interleaved stereo frames at demo_rate_hz. The chord sits around -20 dBFS; kick, snare and
// hi-hat peak near -1 dBFS, so their peaks stand well above a threshold of -9 dB.
std::vector<float> make_demo_programme();

// Writes the programme to `path` as 24-bit stereo WAV (atomically).
void write_demo_programme(const std::string& path);
