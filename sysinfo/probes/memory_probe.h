// Physical memory and commit capacity, in bytes.
#pragma once

#include "boundary/snapshot.h"
#include "platform/platform.h"

namespace mrv {

// Copies GlobalMemoryStatusEx's totals; on failure memory is left untouched.
void probe_memory(Platform& platform, MemoryInfo& memory);

}  // namespace mrv
