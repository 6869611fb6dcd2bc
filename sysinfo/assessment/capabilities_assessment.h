// Turns a probed snapshot into verdicts.
#pragma once

#include "boundary/snapshot.h"

namespace mrv {

// Stores the CPU estimate, flags the chosen adapter, then assesses
// transcription and the LLM server, in that order.
void assess_capabilities(SystemSnapshot& snapshot);

}  // namespace mrv
