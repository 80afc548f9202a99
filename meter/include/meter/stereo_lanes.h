// Interleaved stereo frames to two channels of their own and back, as the meters and the
// effect want them: a few instructions for four frames instead of a load and a store per
// sample.
#pragma once

#include <cstdint>

// Frame f's left sample to left[f], its right one to right[f].
void split_stereo(const float* interleaved, int64_t frames, float* left, float* right);
// The reverse: left[f] and right[f] become frame f.
void join_stereo(const float* left, const float* right, int64_t frames, float* interleaved);
