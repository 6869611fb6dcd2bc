#include "boundary/request.h"

#include <cstring>

#include "assessment/capabilities_assessment.h"
#include "boundary/request_lock.h"
#include "boundary/snapshot.h"
#include "document/capabilities_document.h"
#include "probes/cpu_probe.h"
#include "probes/gpu_enumeration.h"
#include "probes/memory_probe.h"
#include "probes/storage_probe.h"

namespace mrv {

std::string collect_capabilities_document(const LibraryContext& context) {
    SystemSnapshot snapshot;
    probe_cpu(context.platform, snapshot.cpu);
    probe_memory(context.platform, snapshot.memory);
    enumerate_gpus(context.platform, context.nvml, context.estimator, snapshot.gpus);
    probe_storage(context.platform, snapshot.storage);
    assess_capabilities(snapshot);
    return build_capabilities_json(snapshot);
}

std::int32_t copy_to_caller_buffer(const std::string& text, char* buffer, std::int32_t buffer_size) {
    const auto length = static_cast<std::int32_t>(text.size());
    const std::int32_t needed = length + 1;
    if (buffer == nullptr || buffer_size == 0 || buffer_size < needed) return needed;
    std::memcpy(buffer, text.data(), text.size());
    buffer[length] = '\0';
    return length;
}

std::int32_t answer_capabilities_request(const LibraryContext& context, char* buffer,
                                         std::int32_t buffer_size) noexcept {
    try {
        const RequestLockGuard guard;
        const std::string text = collect_capabilities_document(context);
        return copy_to_caller_buffer(text, buffer, buffer_size);
    } catch (...) {
        return 0;
    }
}

}  // namespace mrv
