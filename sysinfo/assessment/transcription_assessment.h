// Verdict for speech transcription on the CPU.
#pragma once

#include "boundary/snapshot.h"

namespace mrv {

// Resets transcription; needs 1 GiB free, then a fast CPU (estimated_flops,
// already stored) is judged by free memory and a slow one by its core count.
void assess_transcription(const CpuInfo& cpu, const MemoryInfo& memory, TranscriptionCapability& transcription);

}  // namespace mrv
