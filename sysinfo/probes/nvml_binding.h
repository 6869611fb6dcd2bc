// The optional NVIDIA Management Library, opened once at library load and
// never closed: the module, three entry points and whether NVML initialised.
#pragma once

#include "platform/platform.h"

namespace mrv {

struct NvmlBinding {
    Handle module = 0;
    Symbol init = 0;
    Symbol shutdown = 0;
    Symbol device_get_handle_by_index = 0;
    bool initialised = false;  // all three entries found and nvmlInit_v2 returned NVML_SUCCESS
};

// Loads nvml.dll from the default safe directories only (application
// directory, System32, directories the host added), never from the working
// directory or PATH, looks up the three entries and initialises NVML when all
// three exist. nvmlShutdown is required but never called.
NvmlBinding open_nvml_binding(Platform& platform);

}  // namespace mrv
