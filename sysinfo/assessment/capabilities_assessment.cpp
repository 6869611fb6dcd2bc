#include "assessment/capabilities_assessment.h"

#include <cstddef>
#include <cstdint>

#include "assessment/gpu_choice.h"
#include "assessment/llm_server_assessment.h"
#include "assessment/transcription_assessment.h"
#include "probes/cpu_probe.h"

namespace mrv {

void assess_capabilities(SystemSnapshot& snapshot) {
    // First: the transcription verdict reads it.
    snapshot.cpu.estimated_flops = estimate_cpu_flops(snapshot.cpu);

    const std::int32_t best = select_best_gpu(snapshot.gpus);
    for (std::size_t i = 0; i < snapshot.gpus.size(); ++i)
        snapshot.gpus[i].recommended_for_llm = static_cast<std::int32_t>(i) == best;

    assess_transcription(snapshot.cpu, snapshot.memory, snapshot.transcription);
    assess_llm_server(snapshot.cpu, snapshot.memory, snapshot.gpus, snapshot.llm_server);
}

}  // namespace mrv
