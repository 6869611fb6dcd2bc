// The platform calls of one capabilities request and nothing else: the same
// calls, with the same arguments, that the probes make, branching on the
// answers only where the probes do, but decoding nothing, building no record
// and no document. It is the baseline that the library's own work is
// measured against, on Windows and on the profile side alike.
#pragma once

#include "platform/platform.h"
#include "probes/nvml_binding.h"

namespace mrv {

// One request's calls: the four groups below in the probes' order.
void make_request_platform_calls(Platform& platform, const NvmlBinding& nvml);

// The calls of each probe. NVML devices are asked for in enumeration order
// (the library asks by position after sorting by score, which costs the
// same); where sorting changes nothing, the calls equal the library's one for one.
void make_cpu_platform_calls(Platform& platform);
void make_memory_platform_calls(Platform& platform);
void make_gpu_platform_calls(Platform& platform, const NvmlBinding& nvml);
void make_storage_platform_calls(Platform& platform);

}  // namespace mrv
