// Runs a check once on every code path of the signal path that this build and processor
// have, each forced in turn, so that every path is held to the same expectations.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "limiter/limitZ_signal_path.h"

struct named_path {
    limitZ_path path;
    const char* name;
};
inline const named_path all_paths[] = {
    {limitZ_path::scalar, "scalar"}, {limitZ_path::sse2, "sse2"}, {limitZ_path::avx2, "avx2"}};

// Forces a path for the life of the object, then hands the choice back to the processor.
struct forced_path {
    explicit forced_path(limitZ_path path) { ok = limitZ_select_path(path); }
    ~forced_path() { limitZ_select_path(limitZ_path::automatic); }
    forced_path(const forced_path&) = delete;
    forced_path& operator=(const forced_path&) = delete;
    bool ok;
};

template <class F>
void on_every_path(F check) {
    int ran = 0;
    for (const named_path& p : all_paths) {
        if (!limitZ_path_available(p.path)) continue;
        forced_path forced(p.path);
        ASSERT_TRUE(forced.ok);
        ASSERT_EQ(limitZ_current_path(), p.path);
        SCOPED_TRACE(std::string("path ") + p.name);
        check();
        ++ran;
    }
    // The portable path exists everywhere.
    EXPECT_GE(ran, 1);
}
