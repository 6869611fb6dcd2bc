#include "assessment/llm_server_assessment.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "assessment/gpu_choice.h"

namespace mrv {
namespace {

constexpr std::uint64_t kGib = 1073741824;

const std::string kNoGpu = "Не найдена подходящая дискретная GPU для Qwen 3.5 35B MOE";
const std::string kSlowPrefix = "GPU слишком медленный для MOE 35B (требуется 250+ GB/s bandwidth, сейчас ";
const std::string kVramPrefix = "Недостаточно VRAM для запуска LLM-сервера (требуется минимум 8 ГБ, сейчас ";
const std::string kRamPrefix =
    "Недостаточно оперативной памяти для запуска LLM-сервера (требуется минимум 20 ГБ, сейчас ";
const std::string kBelowRecommended = "Ожидаемая скорость ниже рекомендуемой (10-14 ток/сек)";

std::string too_slow(const char* gbs) { return kSlowPrefix + gbs + " GB/s)"; }
std::string vram_short(const char* gib) { return kVramPrefix + gib + " ГБ)"; }
std::string ram_short(const char* gib) { return kRamPrefix + gib + " ГБ)"; }

GpuInfo adapter(bool discrete, double bandwidth, std::uint64_t dedicated = 16 * kGib) {
    GpuInfo gpu;
    gpu.is_discrete = discrete;
    gpu.memory_bandwidth_gbs = bandwidth;
    gpu.dedicated_vram_bytes = dedicated;
    return gpu;
}

TEST(GpuChoice, FirstDiscreteAdapterWithTheHighestKnownBandwidth) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* label;
        std::vector<GpuInfo> gpus;
        std::int32_t expected;
    } cases[] = {
        {"no adapters", {}, -1},
        {"integrated 500 beside discrete 300", {adapter(false, 500.0), adapter(true, 300.0)}, 1},
        {"only integrated ones", {adapter(false, 500.0), adapter(false, 600.0)}, -1},
        {"equal bandwidths keep the earlier", {adapter(true, 448.0), adapter(true, 448.0)}, 0},
        {"unknown bandwidth first", {adapter(true, 0.0), adapter(true, 360.0)}, 1},
        {"lone discrete with bandwidth 0", {adapter(true, 0.0)}, -1},
        {"negative bandwidth", {adapter(true, -5.0)}, -1},
        {"not a number never wins", {adapter(true, nan)}, -1},
        {"not a number does not block later ones", {adapter(true, nan), adapter(true, 300.0)}, 1},
        {"faster one later in the list", {adapter(true, 300.0), adapter(true, 400.0), adapter(true, 350.0)}, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(select_best_gpu(c.gpus), c.expected) << c.label;
}

struct LlmCase {
    const char* label;
    double bandwidth;
    std::uint64_t vram_bytes;
    std::uint64_t ram_bytes;
    CapabilityStatus status;
    std::string warning;  // empty: none
};

// One discrete adapter with the given figures; 8 physical cores.
LlmServerCapability assess(const LlmCase& c) {
    CpuInfo cpu;
    cpu.physical_cores = 8;
    cpu.logical_cores = 16;
    MemoryInfo memory;
    memory.total_ram_bytes = c.ram_bytes;
    LlmServerCapability llm;
    assess_llm_server(cpu, memory, {adapter(true, c.bandwidth, c.vram_bytes)}, llm);
    return llm;
}

// Cases print as their label, so test listings stay readable.
void PrintTo(const LlmCase& test_case, std::ostream* out) { *out << test_case.label; }

class LlmServer : public ::testing::TestWithParam<LlmCase> {};

TEST_P(LlmServer, TestsBandwidthThenVramThenRamAndReportsTheFirstFailure) {
    const LlmCase& c = GetParam();
    const LlmServerCapability llm = assess(c);
    EXPECT_EQ(llm.status, c.status);
    EXPECT_EQ(llm.warnings, c.warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.warning});
    EXPECT_EQ(llm.best_gpu_index, 0);
    EXPECT_EQ(llm.recommended_threads, 8);
    const bool fits = c.status != CapabilityStatus::None;
    EXPECT_EQ(llm.recommended_mode, fits ? "fit_on" : "none");
    EXPECT_EQ(llm.recommended_gpu_layers, fits ? 99 : 0);
    EXPECT_EQ(llm.expected_tokens_per_sec, fits ? c.bandwidth / 24.0 : 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LlmServer,
    ::testing::Values(
        LlmCase{"too_slow_truncates_249_9", 249.9, 16 * kGib, 32 * kGib, CapabilityStatus::None, too_slow("249")},
        LlmCase{"too_slow_below_one", 0.5, 16 * kGib, 32 * kGib, CapabilityStatus::None, too_slow("0")},
        LlmCase{"slow_is_reported_before_vram_and_ram", 100.0, 1 * kGib, 1 * kGib, CapabilityStatus::None,
                too_slow("100")},
        LlmCase{"bandwidth_exactly_250_passes", 250.0, 8 * kGib, 20 * kGib, CapabilityStatus::Minimal,
                kBelowRecommended},
        LlmCase{"vram_just_under_8_gib_counts_7", 400.0, 8585740288, 32 * kGib, CapabilityStatus::None,
                vram_short("7")},
        LlmCase{"vram_is_reported_before_ram", 400.0, 2 * kGib, 4 * kGib, CapabilityStatus::None, vram_short("2")},
        LlmCase{"no_vram", 400.0, 0, 32 * kGib, CapabilityStatus::None, vram_short("0")},
        LlmCase{"ram_20_gib_minus_a_byte_counts_19", 400.0, 16 * kGib, 20 * kGib - 1, CapabilityStatus::None,
                ram_short("19")},
        LlmCase{"ram_34190000000_bytes_counts_31_and_passes", 504.0, 16 * kGib, 34190000000,
                CapabilityStatus::Ok, ""},
        LlmCase{"worked_ok_504_gbs", 504.0, 16 * kGib, 32 * kGib, CapabilityStatus::Ok, ""},
        LlmCase{"ok_exactly_at_350_and_12_gib", 350.0, 12 * kGib, 20 * kGib, CapabilityStatus::Ok, ""},
        LlmCase{"just_below_350", 349.99, 12 * kGib, 20 * kGib, CapabilityStatus::Minimal, kBelowRecommended},
        LlmCase{"vram_12_gib_minus_a_byte_counts_11", 350.0, 12 * kGib - 1, 20 * kGib, CapabilityStatus::Minimal,
                kBelowRecommended},
        LlmCase{"fast_with_10_gib", 400.0, 10 * kGib, 32 * kGib, CapabilityStatus::Minimal, kBelowRecommended}),
    [](const auto& test_case) { return std::string(test_case.param.label); });

TEST(LlmServer, WorkedFiguresOfTheOkCase) {
    const LlmServerCapability llm = assess({"", 504.0, 16 * kGib, 32 * kGib, CapabilityStatus::Ok, ""});
    EXPECT_EQ(llm.expected_tokens_per_sec, 21.0);
    const LlmServerCapability at_minimum =
        assess({"", 250.0, 8 * kGib, 20 * kGib, CapabilityStatus::Minimal, kBelowRecommended});
    EXPECT_NEAR(at_minimum.expected_tokens_per_sec, 10.42, 0.005);
}

TEST(LlmServer, WithoutASuitableAdapterTheVerdictIsNone) {
    const struct {
        const char* label;
        std::vector<GpuInfo> gpus;
    } cases[] = {{"no adapters", {}},
                 {"only integrated", {adapter(false, 500.0)}},
                 {"discrete with unknown bandwidth", {adapter(true, 0.0)}}};
    for (const auto& c : cases) {
        CpuInfo cpu;
        cpu.physical_cores = 4;
        MemoryInfo memory;
        memory.total_ram_bytes = 64 * kGib;
        LlmServerCapability llm;
        assess_llm_server(cpu, memory, c.gpus, llm);
        EXPECT_EQ(llm.status, CapabilityStatus::None) << c.label;
        EXPECT_EQ(llm.warnings, std::vector<std::string>{kNoGpu}) << c.label;
        EXPECT_EQ(llm.best_gpu_index, -1) << c.label;
        EXPECT_EQ(llm.recommended_mode, "none") << c.label;
        EXPECT_EQ(llm.expected_tokens_per_sec, 0.0) << c.label;
        EXPECT_EQ(llm.recommended_gpu_layers, 0) << c.label;
        EXPECT_EQ(llm.recommended_threads, 4) << c.label;
    }
}

TEST(LlmServer, ThreadsPreferPhysicalCoresAndStopAtEight) {
    const struct {
        std::int32_t physical, logical, threads;
    } cases[] = {{16, 32, 8}, {8, 16, 8}, {0, 6, 6}, {4, 8, 4}, {0, 0, 0}, {-1, 12, 8}, {-3, -2, -2}};
    for (const auto& c : cases) {
        CpuInfo cpu;
        cpu.physical_cores = c.physical;
        cpu.logical_cores = c.logical;
        LlmServerCapability llm;
        assess_llm_server(cpu, MemoryInfo{}, {}, llm);
        EXPECT_EQ(llm.recommended_threads, c.threads) << c.physical << "/" << c.logical;
    }
}

TEST(LlmServer, ChosenAdapterIsTheOneJudged) {
    CpuInfo cpu;
    cpu.physical_cores = 8;
    MemoryInfo memory;
    memory.total_ram_bytes = 32 * kGib;
    // The integrated one is faster and larger but never chosen; the second
    // discrete one wins on bandwidth and fails on its own memory.
    const std::vector<GpuInfo> gpus = {adapter(false, 900.0, 64 * kGib), adapter(true, 300.0, 24 * kGib),
                                       adapter(true, 450.0, 6 * kGib)};
    LlmServerCapability llm;
    assess_llm_server(cpu, memory, gpus, llm);
    EXPECT_EQ(llm.best_gpu_index, 2);
    EXPECT_EQ(llm.warnings, std::vector<std::string>{vram_short("6")});
}

TEST(LlmServer, AnEarlierVerdictIsReplaced) {
    CpuInfo cpu;
    cpu.physical_cores = 8;
    LlmServerCapability llm;
    llm.status = CapabilityStatus::Ok;
    llm.warnings = {"earlier"};
    llm.recommended_mode = "fit_on";
    llm.expected_tokens_per_sec = 20.0;
    llm.best_gpu_index = 3;
    assess_llm_server(cpu, MemoryInfo{}, {}, llm);
    EXPECT_EQ(llm.status, CapabilityStatus::None);
    EXPECT_EQ(llm.warnings, std::vector<std::string>{kNoGpu});
    EXPECT_EQ(llm.recommended_mode, "none");
    EXPECT_EQ(llm.expected_tokens_per_sec, 0.0);
    EXPECT_EQ(llm.best_gpu_index, -1);
}

}  // namespace
}  // namespace mrv
