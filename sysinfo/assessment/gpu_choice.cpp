#include "assessment/gpu_choice.h"

#include <cstddef>

namespace mrv {

std::int32_t select_best_gpu(const std::vector<GpuInfo>& gpus) {
    std::int32_t best = -1;
    double best_bandwidth = 0.0;
    for (std::size_t i = 0; i < gpus.size(); ++i) {
        // Strictly greater: ties keep the earlier (higher-scored) adapter,
        // and a NaN bandwidth compares false.
        if (gpus[i].is_discrete && gpus[i].memory_bandwidth_gbs > best_bandwidth) {
            best = static_cast<std::int32_t>(i);
            best_bandwidth = gpus[i].memory_bandwidth_gbs;
        }
    }
    return best;
}

}  // namespace mrv
