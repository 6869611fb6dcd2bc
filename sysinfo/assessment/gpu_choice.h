// The adapter the LLM server should use.
#pragma once

#include <cstdint>
#include <vector>

#include "boundary/snapshot.h"

namespace mrv {

// Index of the first discrete adapter with the highest bandwidth above 0, or
// -1. Integrated adapters and unknown (0 or NaN) bandwidths never win.
std::int32_t select_best_gpu(const std::vector<GpuInfo>& gpus);

}  // namespace mrv
