// Runs a check once on every code path of the signal path that this build and processor
// have, each forced in turn, so that every path is held to the same expectations.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "limiter/limitZ_signal_path.h"

struct named_path {
    limitZ_path path;
    const char* name;
    const char* missing_because;  // why a build or processor may lack the path
};
inline const named_path all_paths[] = {
    {limitZ_path::scalar, "scalar", ""},
    {limitZ_path::sse2, "sse2", "the build is not for x86"},
#if defined(__x86_64__)
    {limitZ_path::avx2, "avx2", "the processor lacks AVX2"},
#else
    {limitZ_path::avx2, "avx2", "the build has no AVX2 path, which exists on x86-64 only"},
#endif
};

// Forces a path for the life of the object, then hands the choice back to the processor.
struct forced_path {
    explicit forced_path(limitZ_path path) { ok = limitZ_select_path(path); }
    ~forced_path() { limitZ_select_path(limitZ_path::automatic); }
    forced_path(const forced_path&) = delete;
    forced_path& operator=(const forced_path&) = delete;
    bool ok;
};

// Whether this processor runs AVX2 where the build is meant to have the AVX2 path (x86-64;
// the 32-bit build has none by design). There the path must not go unchecked.
inline bool avx2_path_expected() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

// A path the build or processor lacks is reported as a skip of the test, with its reason,
// once per test; the paths that exist still run.
template <class F>
void on_every_path(F check) {
    std::string missing;
    bool avx2_ran = false;
    for (const named_path& p : all_paths) {
        if (!limitZ_path_available(p.path)) {
            missing += std::string(missing.empty() ? "" : "; ") + p.name + ": " + p.missing_because;
            continue;
        }
        forced_path forced(p.path);
        ASSERT_TRUE(forced.ok);
        ASSERT_EQ(limitZ_current_path(), p.path);
        SCOPED_TRACE(std::string("path ") + p.name);
        check();
        avx2_ran |= p.path == limitZ_path::avx2;
    }
    if (avx2_path_expected()) {
        ASSERT_TRUE(avx2_ran) << "the processor has AVX2 but the AVX2 path was not checked";
    }
    static const ::testing::TestInfo* reported = nullptr;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!missing.empty() && test != reported) {
        reported = test;
        GTEST_SKIP() << "path not checked (" << missing << ")";
    }
}
