// Verdict and settings for a local server of the 35B mixture-of-experts model.
#pragma once

#include <vector>

#include "boundary/snapshot.h"

namespace mrv {

// Resets llm and tests, in order, adapter choice, bandwidth, VRAM and RAM;
// the first failure gives None with its one warning.
void assess_llm_server(const CpuInfo& cpu, const MemoryInfo& memory, const std::vector<GpuInfo>& gpus,
                       LlmServerCapability& llm);

}  // namespace mrv
