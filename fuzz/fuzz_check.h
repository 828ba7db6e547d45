// fuzz_check.h -- the check with which fuzz targets hold the code to the promises of its headers
#pragma once

#include <cstdio>
#include <cstdlib>

// Stops the run with the broken promise named; libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition, promise)                                                                       \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "broken promise: %s (%s:%d)\n", promise, __FILE__, __LINE__);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
