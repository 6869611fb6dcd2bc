// The DLL's two exports and its load-time state.
#include "mrv_sysinfo.h"

#include "boundary/request.h"
#include "platform/windows_platform.h"
#include "probes/gpu_bandwidth_estimator.h"
#include "probes/nvml_binding.h"

namespace {

// Defined together so that their load-time order is fixed: the platform,
// then the NVML binding (never closed), then the estimator, which reads
// gpu_architectures.json and logs the outcome.
mrv::WindowsPlatform windows_platform;
const mrv::NvmlBinding nvml_binding = mrv::open_nvml_binding(windows_platform);
const mrv::GpuBandwidthEstimator estimator;

}  // namespace

extern "C" MRV_SYSINFO_API int32_t get_system_capabilities_json(char* buffer, int32_t buffer_size) {
    const mrv::LibraryContext context{windows_platform, nvml_binding, estimator};
    return mrv::answer_capabilities_request(context, buffer, buffer_size);
}

extern "C" MRV_SYSINFO_API const char* get_library_version(void) { return "1.0.0"; }
