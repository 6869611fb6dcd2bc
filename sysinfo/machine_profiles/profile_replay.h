// One request of the library on a machine profile: the load-time NVML
// binding is opened on the profile's platform, then the request pipeline runs
// exactly as in the DLL. Used by sysinfo_replay and the profile tests.
#pragma once

#include <string>
#include <vector>

#include "machine_profiles/machine_profile.h"
#include "probes/gpu_bandwidth_estimator.h"

namespace mrv {

struct ReplayOutcome {
    std::string document;  // the compact capabilities document
    // Platform misuse seen while collecting (objects used after release,
    // released twice, never released); empty for a sound library.
    std::vector<std::string> misuse;
};

// Exceptions of the pipeline itself (allocation, a serialisation error)
// propagate to the caller, where the DLL would turn them into result 0.
ReplayOutcome replay_machine_profile(const MachineProfile& profile, const GpuBandwidthEstimator& estimator);

}  // namespace mrv
