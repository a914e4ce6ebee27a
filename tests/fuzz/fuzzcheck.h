// What every fuzz target shares: a check that stays on in release builds (the regression replay
// is built without assertions) and stops at the first broken invariant with its reason.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace qmv::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const std::string& detail) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s%s%s\n", file, line, condition,
                 detail.empty() ? "" : " -- ", detail.c_str());
    std::abort();
}

} // namespace qmv::fuzz

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::qmv::fuzz::Fail(__FILE__, __LINE__, #condition, (detail));                           \
    } while (0)
