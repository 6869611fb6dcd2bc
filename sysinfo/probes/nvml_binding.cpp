#include "probes/nvml_binding.h"

#include "probes/nvml_api.h"

namespace mrv {

NvmlBinding open_nvml_binding(Platform& platform) {
    NvmlBinding binding;
    binding.module = platform.load_library_ex_default_dirs(nvml::kLibraryName);
    if (binding.module == 0) return binding;
    binding.init = platform.get_proc_address(binding.module, nvml::kInitV2Name);
    binding.shutdown = platform.get_proc_address(binding.module, nvml::kShutdownName);
    binding.device_get_handle_by_index =
        platform.get_proc_address(binding.module, nvml::kDeviceGetHandleByIndexName);
    if (binding.init != 0 && binding.shutdown != 0 && binding.device_get_handle_by_index != 0)
        binding.initialised = platform.call_nvml_init_v2(binding.init) == nvml::kSuccess;
    return binding;
}

}  // namespace mrv
