#include "assessment/transcription_assessment.h"

#include <cstdint>
#include <string>

#include "assessment/whole_gib.h"

namespace mrv {
namespace {

constexpr std::uint64_t kMinimumFreeGib = 1;
constexpr std::uint64_t kRecommendedFreeGib = 4;
constexpr double kFastCpuFlops = 1e10;
constexpr std::int32_t kMinimumCores = 4;
constexpr std::int32_t kRecommendedCores = 8;

}  // namespace

void assess_transcription(const CpuInfo& cpu, const MemoryInfo& memory, TranscriptionCapability& transcription) {
    transcription.status = CapabilityStatus::None;
    transcription.warnings.clear();
    const std::uint64_t free_gib = whole_gib(memory.available_ram_bytes);

    if (free_gib < kMinimumFreeGib) {
        transcription.warnings.push_back(u8"Недостаточно свободной памяти (требуется минимум 1 ГБ)");
        return;
    }

    if (cpu.estimated_flops >= kFastCpuFlops) {
        if (free_gib >= kRecommendedFreeGib) {
            transcription.status = CapabilityStatus::Ok;
            return;
        }
        transcription.status = CapabilityStatus::Minimal;
        transcription.warnings.push_back(u8"Рекомендуется 4+ ГБ свободной памяти (сейчас " +
                                         std::to_string(free_gib) + u8" ГБ)");
        return;
    }

    // Unlike the server's thread count, transcription prefers logical cores.
    const std::int32_t cores = cpu.logical_cores > 0 ? cpu.logical_cores : cpu.physical_cores;
    if (cores < kMinimumCores) {
        transcription.warnings.push_back(u8"Недостаточно ядер CPU (требуется минимум 4)");
        return;
    }
    transcription.status = CapabilityStatus::Minimal;
    if (cores < kRecommendedCores)
        transcription.warnings.push_back(u8"Рекомендуется 8+ логических ядер CPU (сейчас " + std::to_string(cores) +
                                         ")");
}

}  // namespace mrv
