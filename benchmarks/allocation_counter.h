// Counts the allocations of the whole program: the benchmark program
// replaces the global operator new and delete with counting ones.
#pragma once

#include <cstdint>

namespace mrv::bench {

std::uint64_t allocation_count();

}  // namespace mrv::bench
