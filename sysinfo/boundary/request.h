// One request of get_system_capabilities_json, independent of how the
// platform and the load-time state were obtained, so that it runs natively.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "probes/gpu_bandwidth_estimator.h"
#include "probes/nvml_binding.h"

namespace mrv {

// What a request works with: the platform and the state set up at load time.
struct LibraryContext {
    Platform& platform;
    const NvmlBinding& nvml;
    const GpuBandwidthEstimator& estimator;
};

// Probes, assesses and serialises one fresh snapshot.
std::string collect_capabilities_document(const LibraryContext& context);

// The buffer protocol: writes text and NUL when buffer_size > L, else nothing.
// Returns L when written, L + 1 otherwise.
std::int32_t copy_to_caller_buffer(const std::string& text, char* buffer, std::int32_t buffer_size);

// The body of the export: takes the process-wide lock, collects, copies.
// Never throws; any exception (allocation, invalid UTF-8) gives 0.
std::int32_t answer_capabilities_request(const LibraryContext& context, char* buffer,
                                         std::int32_t buffer_size) noexcept;

}  // namespace mrv
