#include "machine_profiles/profile_replay.h"

#include "boundary/request.h"
#include "machine_profiles/profile_platform.h"
#include "probes/nvml_binding.h"

namespace mrv {

ReplayOutcome replay_machine_profile(const MachineProfile& profile, const GpuBandwidthEstimator& estimator) {
    ProfilePlatform platform{profile};
    const NvmlBinding nvml = open_nvml_binding(platform);
    const LibraryContext context{platform, nvml, estimator};

    ReplayOutcome outcome;
    outcome.document = collect_capabilities_document(context);
    outcome.misuse = platform.violations();
    if (platform.live_objects() > 0)
        outcome.misuse.push_back(std::to_string(platform.live_objects()) + " platform objects were never released");
    return outcome;
}

}  // namespace mrv
