// The machine's hardware graphics adapters through DXGI: one GpuInfo each,
// sorted by score, then measured or estimated by the bandwidth estimator.
#pragma once

#include <vector>

#include "boundary/snapshot.h"
#include "platform/platform.h"
#include "probes/gpu_bandwidth_estimator.h"
#include "probes/nvml_binding.h"
#include "probes/wide_to_utf8.h"

namespace mrv {

// Appends one record per hardware adapter (software adapters are left out),
// highest score first, equal scores in enumeration order. An NVIDIA adapter
// is measured with the NVML device whose PCI identity agrees with its own
// (NvmlDeviceMatcher). Any answer of the factory's creation but S_OK leaves
// the list as it was. Every DXGI object handed out is released once, on
// every way out, an exception's included.
void enumerate_gpus(Platform& platform, const NvmlBinding& nvml, const GpuBandwidthEstimator& estimator,
                    std::vector<GpuInfo>& gpus);

}  // namespace mrv
