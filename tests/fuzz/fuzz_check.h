// A broken property stops the fuzzer like a crash, so libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace mrv::fuzz {

inline void require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

}  // namespace mrv::fuzz
