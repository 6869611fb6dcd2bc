// Memory thresholds compare whole GiB: the byte count with the remainder dropped.
#pragma once

#include <cstdint>

namespace mrv {

constexpr std::uint64_t whole_gib(std::uint64_t bytes) { return bytes >> 30; }

}  // namespace mrv
