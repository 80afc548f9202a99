// A property that must hold whatever the module was fed. A broken one ends the program as a
// crash: a fuzzer keeps the input that broke it, and a test run fails.
#pragma once

#include <cstdio>
#include <cstdlib>

#define REQUIRE(condition)                                                               \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                \
        }                                                                                \
    } while (0)
