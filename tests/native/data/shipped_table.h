// The shipped data/gpu_architectures.json, loaded once through the library's
// loader, and adapters estimated by the library's estimator as enumeration
// hands them over (no NVML).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "machine_profiles/profile_platform.h"
#include "probes/gpu_bandwidth_estimator.h"

namespace mrv::test {

inline const std::string kShippedTablePath = std::string(MRV_SOURCE_DIR) + "/data/gpu_architectures.json";

inline const GpuBandwidthEstimator& shipped_table() {
    static const GpuBandwidthEstimator estimator(kShippedTablePath.c_str());
    return estimator;
}

inline GpuInfo estimated(const std::string& name, std::uint64_t dedicated_bytes) {
    GpuInfo gpu;
    gpu.name = name;
    gpu.dedicated_vram_bytes = dedicated_bytes;
    ProfilePlatform platform{MachineProfile{}};
    shipped_table().estimate(platform, gpu, 0);
    return gpu;
}

constexpr double kGib = 1073741824.0;
constexpr double kTolerance = 0.15;
// Windows reports a little less than N GiB for an N GB card; estimates are
// checked at both ends of that range.
constexpr double kReportedShare[] = {1.0, 0.95};

inline std::uint64_t bytes_of(double gib) { return static_cast<std::uint64_t>(gib * kGib); }

// Relative error of the estimate against the published figure at N GiB and
// at 0.95 × N GiB: the larger in magnitude.
inline double worst_relative_error(const std::string& name, double marketed_gb, double published_gbs) {
    double worst = 0.0;
    for (const double share : kReportedShare) {
        const double error =
            estimated(name, bytes_of(share * marketed_gb)).memory_bandwidth_gbs / published_gbs - 1.0;
        if (std::fabs(error) > std::fabs(worst)) worst = error;
    }
    return worst;
}

}  // namespace mrv::test
