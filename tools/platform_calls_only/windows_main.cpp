// The platform calls of what one run of syscheck makes the library do, and
// nothing else: the NVML load attempt of library load, then the two
// collections of the size query and the filled buffer. Takes no arguments,
// prints nothing, exits 0.
#include "platform/windows_platform.h"
#include "platform_calls.h"
#include "probes/nvml_binding.h"

namespace {
constexpr int kCollectionsPerSyscheckRun = 2;
}

int main() {
    mrv::WindowsPlatform platform;
    const mrv::NvmlBinding nvml = mrv::open_nvml_binding(platform);
    for (int i = 0; i < kCollectionsPerSyscheckRun; ++i) mrv::make_request_platform_calls(platform, nvml);
    return 0;
}
