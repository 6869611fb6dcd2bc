#include "assessment/transcription_assessment.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace mrv {
namespace {

constexpr std::uint64_t kGib = 1073741824;
constexpr double kFast = 1e10;
constexpr double kJustSlow = 9999999999.0;

const std::string kNoFreeMemory = "Недостаточно свободной памяти (требуется минимум 1 ГБ)";
const std::string kTooFewCores = "Недостаточно ядер CPU (требуется минимум 4)";

std::string low_memory(const char* gib) { return "Рекомендуется 4+ ГБ свободной памяти (сейчас " + std::string(gib) + " ГБ)"; }
std::string few_cores(const char* count) {
    return "Рекомендуется 8+ логических ядер CPU (сейчас " + std::string(count) + ")";
}

struct TranscriptionCase {
    const char* label;
    std::uint64_t available_bytes;
    double flops;
    std::int32_t logical;
    std::int32_t physical;
    CapabilityStatus status;
    std::string warning;  // empty: none
};

// Cases print as their label, so test listings stay readable.
void PrintTo(const TranscriptionCase& test_case, std::ostream* out) { *out << test_case.label; }

class Transcription : public ::testing::TestWithParam<TranscriptionCase> {};

TEST_P(Transcription, FreeMemoryFirstThenSpeedDecidesWhichTestFollows) {
    const TranscriptionCase& c = GetParam();
    CpuInfo cpu;
    cpu.estimated_flops = c.flops;
    cpu.logical_cores = c.logical;
    cpu.physical_cores = c.physical;
    MemoryInfo memory;
    memory.available_ram_bytes = c.available_bytes;
    TranscriptionCapability transcription;
    transcription.status = CapabilityStatus::Ok;  // an earlier verdict is replaced
    transcription.warnings = {"earlier"};
    assess_transcription(cpu, memory, transcription);
    EXPECT_EQ(transcription.status, c.status);
    EXPECT_EQ(transcription.warnings,
              c.warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.warning});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Transcription,
    ::testing::Values(
        TranscriptionCase{"exactly_1_gib_free_passes_the_first_test", kGib, kFast, 16, 8, CapabilityStatus::Minimal,
                          low_memory("1")},
        TranscriptionCase{"a_byte_under_1_gib_fast", kGib - 1, kFast, 16, 8, CapabilityStatus::None, kNoFreeMemory},
        TranscriptionCase{"a_byte_under_1_gib_slow", kGib - 1, 1e9, 2, 1, CapabilityStatus::None, kNoFreeMemory},
        TranscriptionCase{"nothing_free", 0, 1e12, 64, 32, CapabilityStatus::None, kNoFreeMemory},
        TranscriptionCase{"exactly_1e10_is_fast_and_ignores_cores", 4 * kGib, kFast, 1, 1, CapabilityStatus::Ok, ""},
        TranscriptionCase{"just_below_1e10_is_slow", 4 * kGib, kJustSlow, 2, 1, CapabilityStatus::None, kTooFewCores},
        TranscriptionCase{"fast_with_3_9_gib_says_3", 4 * kGib - kGib / 10, kFast, 16, 8, CapabilityStatus::Minimal,
                          low_memory("3")},
        TranscriptionCase{"fast_with_exactly_4_gib", 4 * kGib, 5e10, 16, 8, CapabilityStatus::Ok, ""},
        TranscriptionCase{"slow_4_logical_2_physical", 8 * kGib, 4e9, 4, 2, CapabilityStatus::Minimal,
                          few_cores("4")},
        TranscriptionCase{"slow_7_logical", 8 * kGib, 4e9, 7, 4, CapabilityStatus::Minimal, few_cores("7")},
        TranscriptionCase{"slow_3_logical", 8 * kGib, 4e9, 3, 8, CapabilityStatus::None, kTooFewCores},
        TranscriptionCase{"slow_8_logical", 8 * kGib, 4e9, 8, 4, CapabilityStatus::Minimal, ""},
        TranscriptionCase{"slow_16_logical_with_2_gib_free", 2 * kGib, 4e9, 16, 8, CapabilityStatus::Minimal, ""},
        TranscriptionCase{"slow_no_logical_count_uses_2_physical", 8 * kGib, 4e9, 0, 2, CapabilityStatus::None,
                          kTooFewCores},
        TranscriptionCase{"slow_negative_logical_count_uses_6_physical", 8 * kGib, 4e9, -1, 6,
                          CapabilityStatus::Minimal, few_cores("6")},
        TranscriptionCase{"slow_no_counts_at_all", 8 * kGib, 4e9, 0, 0, CapabilityStatus::None, kTooFewCores}),
    [](const auto& test_case) { return std::string(test_case.param.label); });

}  // namespace
}  // namespace mrv
