// The processor: brand, core counts, clocks and instruction-set flags.
#pragma once

#include "boundary/snapshot.h"
#include "platform/platform.h"

namespace mrv {

// Fills every field of cpu but estimated_flops. Platform failures leave
// documented defaults: empty brand, physical = logical cores, clocks 0.
void probe_cpu(Platform& platform, CpuInfo& cpu);

// Rough peak throughput in operations per second:
// cores x MHz x per-cycle factor x 1e6, with 1 core and 2000 MHz when unknown.
double estimate_cpu_flops(const CpuInfo& cpu);

}  // namespace mrv
