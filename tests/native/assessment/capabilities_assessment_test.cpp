#include "assessment/capabilities_assessment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mrv {
namespace {

constexpr std::uint64_t kGib = 1073741824;

GpuInfo adapter(bool discrete, double bandwidth) {
    GpuInfo gpu;
    gpu.is_discrete = discrete;
    gpu.memory_bandwidth_gbs = bandwidth;
    gpu.dedicated_vram_bytes = 16 * kGib;
    return gpu;
}

std::vector<bool> flags(const SystemSnapshot& snapshot) {
    std::vector<bool> flagged;
    for (const GpuInfo& gpu : snapshot.gpus) flagged.push_back(gpu.recommended_for_llm);
    return flagged;
}

// 4 physical cores at 2500 MHz without AVX2 make exactly 1e10: the fast path,
// but only if the estimate is stored before transcription reads it.
SystemSnapshot probed_machine() {
    SystemSnapshot snapshot;
    snapshot.cpu.physical_cores = 4;
    snapshot.cpu.logical_cores = 4;
    snapshot.cpu.base_frequency_mhz = 2500;
    snapshot.memory.available_ram_bytes = 8 * kGib;
    snapshot.memory.total_ram_bytes = 32 * kGib;
    return snapshot;
}

TEST(AssessmentDriver, StoresTheEstimateBeforeTranscriptionReadsIt) {
    SystemSnapshot snapshot = probed_machine();
    assess_capabilities(snapshot);
    EXPECT_EQ(snapshot.cpu.estimated_flops, 1e10);
    EXPECT_EQ(snapshot.transcription.status, CapabilityStatus::Ok);
    EXPECT_TRUE(snapshot.transcription.warnings.empty());
}

TEST(AssessmentDriver, SlowProcessorGoesByItsCores) {
    SystemSnapshot snapshot;
    snapshot.cpu.physical_cores = 2;
    snapshot.cpu.logical_cores = 4;
    snapshot.memory.available_ram_bytes = 8 * kGib;
    assess_capabilities(snapshot);
    EXPECT_EQ(snapshot.cpu.estimated_flops, 4e9);
    EXPECT_EQ(snapshot.transcription.status, CapabilityStatus::Minimal);
    EXPECT_EQ(snapshot.transcription.warnings,
              std::vector<std::string>{"Рекомендуется 8+ логических ядер CPU (сейчас 4)"});
}

TEST(AssessmentDriver, FlagsOnlyTheAdapterTheServerUses) {
    const struct {
        const char* label;
        std::vector<GpuInfo> gpus;
        std::vector<bool> flagged;
        std::int32_t best;
    } cases[] = {
        {"no adapters", {}, {}, -1},
        {"integrated 500 beside discrete 300", {adapter(false, 500.0), adapter(true, 300.0)}, {false, true}, 1},
        {"one discrete with bandwidth 0", {adapter(true, 0.0)}, {false}, -1},
        {"equal bandwidths: the earlier", {adapter(true, 448.0), adapter(true, 448.0)}, {true, false}, 0},
    };
    for (const auto& c : cases) {
        SystemSnapshot snapshot = probed_machine();
        snapshot.gpus = c.gpus;
        for (GpuInfo& gpu : snapshot.gpus) gpu.recommended_for_llm = true;  // stale flags are cleared
        assess_capabilities(snapshot);
        EXPECT_EQ(flags(snapshot), c.flagged) << c.label;
        EXPECT_EQ(snapshot.llm_server.best_gpu_index, c.best) << c.label;
        EXPECT_EQ(snapshot.transcription.status, CapabilityStatus::Ok) << c.label << ": transcription still runs";
        if (c.best < 0) {
            EXPECT_EQ(snapshot.llm_server.warnings,
                      std::vector<std::string>{"Не найдена подходящая дискретная GPU для Qwen 3.5 35B MOE"})
                << c.label;
        }
    }
}

TEST(AssessmentDriver, LeavesTheProbedFiguresAlone) {
    SystemSnapshot snapshot = probed_machine();
    snapshot.gpus = {adapter(true, 504.0)};
    snapshot.storage = {DriveInfo{'C', 1, 2, true}};
    assess_capabilities(snapshot);
    EXPECT_EQ(snapshot.cpu.physical_cores, 4);
    EXPECT_EQ(snapshot.cpu.base_frequency_mhz, 2500);
    EXPECT_EQ(snapshot.memory.total_ram_bytes, 32 * kGib);
    EXPECT_EQ(snapshot.gpus[0].memory_bandwidth_gbs, 504.0);
    EXPECT_EQ(snapshot.storage.size(), 1u);
    EXPECT_EQ(snapshot.llm_server.status, CapabilityStatus::Ok);
    EXPECT_EQ(snapshot.llm_server.expected_tokens_per_sec, 21.0);
}

}  // namespace
}  // namespace mrv
