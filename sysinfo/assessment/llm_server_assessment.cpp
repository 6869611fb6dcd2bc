#include "assessment/llm_server_assessment.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "assessment/gpu_choice.h"
#include "assessment/whole_gib.h"

namespace mrv {
namespace {

constexpr std::int32_t kThreadCap = 8;
constexpr double kMinimumBandwidthGbs = 250.0;
constexpr double kOkBandwidthGbs = 350.0;
constexpr std::uint64_t kMinimumVramGib = 8;
constexpr std::uint64_t kOkVramGib = 12;
constexpr std::uint64_t kMinimumRamGib = 20;
constexpr double kSpeedDivisor = 24.0;  // GB/s per token/s
constexpr std::int32_t kAllLayers = 99;

void fail(LlmServerCapability& llm, std::string warning) {
    llm.status = CapabilityStatus::None;
    llm.warnings.push_back(std::move(warning));
}

}  // namespace

void assess_llm_server(const CpuInfo& cpu, const MemoryInfo& memory, const std::vector<GpuInfo>& gpus,
                       LlmServerCapability& llm) {
    llm.status = CapabilityStatus::None;
    llm.warnings.clear();
    const std::int32_t cores = cpu.physical_cores > 0 ? cpu.physical_cores : cpu.logical_cores;
    llm.recommended_threads = std::min(kThreadCap, cores);
    llm.recommended_mode = "none";
    llm.expected_tokens_per_sec = 0.0;
    llm.best_gpu_index = select_best_gpu(gpus);

    if (llm.best_gpu_index < 0) {
        fail(llm, u8"Не найдена подходящая дискретная GPU для Qwen 3.5 35B MOE");
        return;
    }
    const GpuInfo& gpu = gpus[static_cast<std::size_t>(llm.best_gpu_index)];
    const double bandwidth = gpu.memory_bandwidth_gbs;
    const std::uint64_t vram = whole_gib(gpu.dedicated_vram_bytes);
    const std::uint64_t ram = whole_gib(memory.total_ram_bytes);

    if (bandwidth < kMinimumBandwidthGbs) {
        fail(llm, u8"GPU слишком медленный для MOE 35B (требуется 250+ GB/s bandwidth, сейчас " +
                      std::to_string(static_cast<std::int32_t>(bandwidth)) + " GB/s)");
        return;
    }
    if (vram < kMinimumVramGib) {
        fail(llm, u8"Недостаточно VRAM для запуска LLM-сервера (требуется минимум 8 ГБ, сейчас " +
                      std::to_string(vram) + u8" ГБ)");
        return;
    }
    if (ram < kMinimumRamGib) {
        fail(llm, u8"Недостаточно оперативной памяти для запуска LLM-сервера (требуется минимум 20 ГБ, сейчас " +
                      std::to_string(ram) + u8" ГБ)");
        return;
    }

    llm.expected_tokens_per_sec = bandwidth / kSpeedDivisor;
    llm.recommended_mode = "fit_on";
    llm.recommended_gpu_layers = kAllLayers;
    if (bandwidth >= kOkBandwidthGbs && vram >= kOkVramGib) {
        llm.status = CapabilityStatus::Ok;
        return;
    }
    llm.status = CapabilityStatus::Minimal;
    llm.warnings.push_back(u8"Ожидаемая скорость ниже рекомендуемой (10-14 ток/сек)");
}

}  // namespace mrv
