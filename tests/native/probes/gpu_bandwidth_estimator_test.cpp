#include "probes/gpu_bandwidth_estimator.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "machine_profiles/profile_platform.h"
#include "probes/nvml_binding.h"

namespace mrv {
namespace {

constexpr std::uint64_t kEightGib = 8589934592;

ArchitectureTables tables_from(const std::string& text) {
    std::istringstream in(text);
    return read_architecture_tables(in);
}

const char kTables[] = R"({
  "architectures": {
    "Ampere": {"coefficient": 56, "patterns": ["RTX 30"]},
    "Zero": {"coefficient": 0, "patterns": ["Zero"]},
    "Absent": {"patterns": ["Absent"]},
    "Negative": {"coefficient": -5, "patterns": ["Negative"]}
  },
  "memory_types": {"GDDR6X": {"multiplier": 1.0, "patterns": ["RTX 3090"]}},
  "mobile_patterns": ["Laptop"]
})";

GpuBandwidthEstimator loaded_estimator() { return GpuBandwidthEstimator(tables_from(kTables), true); }

GpuInfo adapter(const std::string& name, std::uint64_t dedicated, bool nvml_support) {
    GpuInfo gpu;
    gpu.name = name;
    gpu.dedicated_vram_bytes = dedicated;
    gpu.has_nvml_support = nvml_support;
    return gpu;
}

// One device whose maximum memory clock is `max_clock_mhz`; its current
// clock is a working card's, so a reading of it would show.
MachineProfile nvml_machine(std::uint32_t max_clock_mhz, std::uint32_t bus_width_bits,
                            std::uint32_t current_clock_mhz = 9501) {
    MachineProfile profile;
    profile.nvml.present = true;
    NvmlDeviceAnswer& device = profile.nvml.devices[0];
    device.memory_clock_mhz = current_clock_mhz;
    device.max_memory_clock_mhz = max_clock_mhz;
    device.bus_width_bits = bus_width_bits;
    return profile;
}

// Opens the binding as the library does at load and asks for device 0.
NvmlDevice device_zero(ProfilePlatform& platform) {
    const NvmlBinding binding = open_nvml_binding(platform);
    NvmlDevice device = 0;
    if (binding.initialised)
        platform.call_nvml_device_get_handle_by_index(binding.device_get_handle_by_index, 0, device);
    return device;
}

TEST(BandwidthEstimate, WorkedFigures) {
    const GpuBandwidthEstimator estimator = loaded_estimator();
    {
        ProfilePlatform platform(nvml_machine(10501, 384));
        GpuInfo gpu = adapter("NVIDIA GeForce RTX 3090 Laptop GPU", 24 * 1073741824ull, true);
        estimator.estimate(platform, gpu, device_zero(platform));
        EXPECT_DOUBLE_EQ(gpu.memory_bandwidth_gbs, 1008.096) << "measured, never derated";
        EXPECT_TRUE(gpu.bandwidth_from_nvml);
        EXPECT_TRUE(gpu.is_mobile);
        EXPECT_EQ(gpu.architecture, "Ampere");
        EXPECT_EQ(gpu.memory_type, "GDDR6X");
        EXPECT_TRUE(platform.violations().empty());
    }
    for (const auto& [name, expected] : {std::pair<std::string, double>{"NVIDIA GeForce RTX 3070", 448.0},
                                         {"NVIDIA GeForce RTX 3070 Laptop GPU", 380.8}}) {
        ProfilePlatform platform{MachineProfile{}};
        GpuInfo gpu = adapter(name, kEightGib, false);
        estimator.estimate(platform, gpu, 0);
        EXPECT_DOUBLE_EQ(gpu.memory_bandwidth_gbs, expected) << name;
        EXPECT_FALSE(gpu.bandwidth_from_nvml) << name;
        EXPECT_TRUE(platform.calls().empty()) << "a table estimate touches no platform call";
    }
}

TEST(BandwidthEstimate, AnIdleCardIsMeasuredAtItsMaximumMemoryClock) {
    // An RTX 4090 at rest (P8): 405 MHz now, 10501 MHz at most.
    ProfilePlatform platform(nvml_machine(10501, 384, 405));
    GpuInfo gpu = adapter("NVIDIA GeForce RTX 4090", 24 * 1073741824ull, true);
    loaded_estimator().estimate(platform, gpu, device_zero(platform));
    EXPECT_DOUBLE_EQ(gpu.memory_bandwidth_gbs, 1008.096);
    EXPECT_TRUE(gpu.bandwidth_from_nvml);
    const std::vector<std::string>& calls = platform.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "nvmlDeviceGetMaxClockInfo(2)"), calls.end());
    EXPECT_EQ(std::find(calls.begin(), calls.end(), "nvmlDeviceGetClockInfo(2)"), calls.end());
}

// The maximum memory clock gives every memory type's published figure.
TEST(BandwidthEstimate, MaximumClocksGivePublishedFigures) {
    const struct {
        const char* card;
        std::uint32_t max_clock_mhz;
        std::uint32_t bus_width_bits;
        double gbs;
    } cards[] = {{"RTX 4090, GDDR6X", 10501, 384, 1008.096},
                 {"RTX 5090, GDDR7", 14001, 512, 1792.128},
                 {"RTX 4060, GDDR6", 8501, 128, 272.032},
                 {"H100, HBM3", 2619, 5120, 3352.32}};
    for (const auto& card : cards) {
        ProfilePlatform platform(nvml_machine(card.max_clock_mhz, card.bus_width_bits, 405));
        GpuInfo gpu = adapter("NVIDIA", 0, true);
        GpuBandwidthEstimator(ArchitectureTables{}, false).estimate(platform, gpu, device_zero(platform));
        EXPECT_DOUBLE_EQ(gpu.memory_bandwidth_gbs, card.gbs) << card.card;
    }
}

// The limits themselves are figures a card may report, and are measured.
TEST(BandwidthEstimate, FiguresAtThePhysicalLimitsAreMeasured) {
    const struct {
        std::uint32_t max_clock_mhz;
        std::uint32_t bus_width_bits;
        double gbs;
    } figures[] = {{1, 1, 0.00025}, {50000, 16384, 204800.0}, {1200, 8192, 2457.6}};
    for (const auto& figure : figures) {
        ProfilePlatform platform(nvml_machine(figure.max_clock_mhz, figure.bus_width_bits, 405));
        GpuInfo gpu = adapter("NVIDIA GeForce RTX 3070", kEightGib, true);
        loaded_estimator().estimate(platform, gpu, device_zero(platform));
        EXPECT_DOUBLE_EQ(gpu.memory_bandwidth_gbs, figure.gbs) << figure.max_clock_mhz << " MHz";
        EXPECT_TRUE(gpu.bandwidth_from_nvml) << figure.max_clock_mhz << " MHz";
    }
}

struct NvmlShortfall {
    const char* label;
    std::uint32_t clock_mhz = 10501;
    std::uint32_t bus_width_bits = 384;
    std::int32_t clock_result = nvml::kSuccess;
    std::int32_t bus_width_result = nvml::kSuccess;
    const char* missing_export = nullptr;
    bool nvml_present = true;
    bool nvml_support = true;
    bool pass_handle = true;
    bool asks_nvml = true;  // whether the module is looked up at all
};

// Cases print as their label, so test listings stay readable.
void PrintTo(const NvmlShortfall& test_case, std::ostream* out) { *out << test_case.label; }

class NvmlFallback : public ::testing::TestWithParam<NvmlShortfall> {};

TEST_P(NvmlFallback, EveryShortfallGoesToTheTableEstimate) {
    const NvmlShortfall& c = GetParam();
    MachineProfile profile = nvml_machine(c.clock_mhz, c.bus_width_bits);
    profile.nvml.present = c.nvml_present;
    profile.nvml.devices[0].max_clock_result = c.clock_result;
    profile.nvml.devices[0].bus_width_result = c.bus_width_result;
    if (c.missing_export != nullptr) profile.nvml.exports.erase(c.missing_export);
    ProfilePlatform platform(profile);
    const NvmlDevice device = device_zero(platform);
    // With NVML absent a handle cannot be had; pass a made-up one to show it is never used.
    const NvmlDevice handle = !c.pass_handle ? 0 : c.nvml_present ? device : 0xD0000;
    ASSERT_TRUE(!c.pass_handle || handle != 0);
    const std::size_t calls_before = platform.calls().size();

    GpuInfo gpu = adapter("NVIDIA GeForce RTX 3070", kEightGib, c.nvml_support);
    loaded_estimator().estimate(platform, gpu, handle);

    EXPECT_DOUBLE_EQ(gpu.memory_bandwidth_gbs, 448.0);
    EXPECT_FALSE(gpu.bandwidth_from_nvml);
    EXPECT_EQ(platform.calls().size() > calls_before, c.asks_nvml);
    EXPECT_TRUE(platform.violations().empty()) << platform.violations().front();
}

NvmlShortfall shortfall(const char* label) {
    NvmlShortfall c;
    c.label = label;
    return c;
}

NvmlShortfall with(NvmlShortfall c, void (*change)(NvmlShortfall&)) {
    change(c);
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NvmlFallback,
    ::testing::Values(
        with(shortfall("zero_max_clock"), [](NvmlShortfall& c) { c.clock_mhz = 0; }),
        with(shortfall("zero_bus_width"), [](NvmlShortfall& c) { c.bus_width_bits = 0; }),
        with(shortfall("max_clock_call_fails"), [](NvmlShortfall& c) { c.clock_result = nvml::kErrorNotSupported; }),
        with(shortfall("bus_width_call_fails"), [](NvmlShortfall& c) { c.bus_width_result = nvml::kErrorUnknown; }),
        // Sentinels and figures no memory has: the first clock and width past the limits, and every bit.
        with(shortfall("max_clock_all_bits"), [](NvmlShortfall& c) { c.clock_mhz = 0xFFFFFFFFu; }),
        with(shortfall("max_clock_above_50000"), [](NvmlShortfall& c) { c.clock_mhz = 50001; }),
        with(shortfall("bus_width_all_bits"), [](NvmlShortfall& c) { c.bus_width_bits = 0xFFFFFFFFu; }),
        with(shortfall("bus_width_above_16384"), [](NvmlShortfall& c) { c.bus_width_bits = 16385; }),
        with(shortfall("no_max_clock_entry"), [](NvmlShortfall& c) { c.missing_export = "nvmlDeviceGetMaxClockInfo"; }),
        with(shortfall("no_bus_width_entry"), [](NvmlShortfall& c) { c.missing_export = "nvmlDeviceGetBusWidth"; }),
        with(shortfall("module_not_loaded"), [](NvmlShortfall& c) { c.nvml_present = false; }),
        with(shortfall("adapter_without_nvml_support"),
             [](NvmlShortfall& c) {
                 c.nvml_support = false;
                 c.asks_nvml = false;
             }),
        with(shortfall("null_handle"),
             [](NvmlShortfall& c) {
                 c.pass_handle = false;
                 c.asks_nvml = false;
             })),
    [](const auto& test_case) { return std::string(test_case.param.label); });

TEST(BandwidthEstimate, NvmlNeedsNoTables) {
    const GpuBandwidthEstimator without_tables(ArchitectureTables{}, false);
    ProfilePlatform platform(nvml_machine(10501, 384));
    GpuInfo gpu = adapter("NVIDIA GeForce RTX 3090", 24 * 1073741824ull, true);
    without_tables.estimate(platform, gpu, device_zero(platform));
    EXPECT_DOUBLE_EQ(gpu.memory_bandwidth_gbs, 1008.096);
    EXPECT_TRUE(gpu.bandwidth_from_nvml);
    EXPECT_EQ(gpu.architecture, "");
    EXPECT_EQ(gpu.memory_type, "");
    EXPECT_FALSE(gpu.is_mobile);
}

TEST(BandwidthEstimate, NoUsableCoefficientReportsTheArchitectureWithZeroBandwidth) {
    const GpuBandwidthEstimator estimator = loaded_estimator();
    const struct {
        const char* name;
        std::uint64_t dedicated;
        const char* architecture;
    } cases[] = {{"Zero GPU", kEightGib, "Zero"},
                 {"Absent GPU", kEightGib, "Absent"},
                 {"Negative GPU Laptop", kEightGib, "Negative"},
                 {"NVIDIA GeForce RTX 3060", 0, "Ampere"},
                 {"Unknown GPU", kEightGib, ""}};
    for (const auto& c : cases) {
        ProfilePlatform platform{MachineProfile{}};
        GpuInfo gpu = adapter(c.name, c.dedicated, false);
        estimator.estimate(platform, gpu, 0);
        EXPECT_EQ(gpu.architecture, c.architecture) << c.name;
        EXPECT_EQ(gpu.memory_bandwidth_gbs, 0.0) << c.name;
        EXPECT_FALSE(gpu.bandwidth_from_nvml) << c.name;
    }
}

TEST(BandwidthEstimate, EveryFieldIsWrittenOnEveryPath) {
    const GpuBandwidthEstimator without_tables(tables_from(kTables), false);
    ProfilePlatform platform{MachineProfile{}};
    GpuInfo gpu = adapter("NVIDIA GeForce RTX 3090 Laptop GPU", kEightGib, false);
    gpu.memory_bandwidth_gbs = 123.0;
    gpu.architecture = "stale";
    gpu.memory_type = "stale";
    gpu.bandwidth_from_nvml = true;
    gpu.is_mobile = true;
    without_tables.estimate(platform, gpu, 0);
    EXPECT_EQ(gpu.memory_bandwidth_gbs, 0.0);
    EXPECT_EQ(gpu.architecture, "");
    EXPECT_EQ(gpu.memory_type, "");
    EXPECT_FALSE(gpu.bandwidth_from_nvml);
    EXPECT_FALSE(gpu.is_mobile);
}

TEST(PatternTest, CaseSensitiveByteSubstring) {
    const GpuBandwidthEstimator estimator(ArchitectureTables{}, false);
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {{"NVIDIA GeForce RTX 3090", "RTX 30", true},
                 {"NVIDIA GeForce RTX 3090", "rtx 30", false},
                 {"NVIDIA GEFORCE RTX 3090", "GeForce", false},
                 {"NVIDIA GeForce RTX 3090", "NVIDIA GeForce RTX 3090", true},
                 {"NVIDIA GeForce RTX 3090", "RTX 3090 ", false},
                 {"RTX", "RTX 3090", false},
                 {"Radeon", "", true},
                 {"", "", true},
                 {"", "A", false},
                 {"AMD Радеон RX 580", "Радеон", true},
                 {"AMD Радеон RX 580", "радеон", false}};
    for (const auto& c : cases)
        EXPECT_EQ(estimator.name_matches(c.name, c.pattern), c.matches) << c.name << " / " << c.pattern;
}

TEST(Detection, FirstEntryInByteOrderWinsWhateverItsPatternLength) {
    // "ampere" stands first in the file and has the longer pattern; "Ada" sorts first.
    const GpuBandwidthEstimator estimator(
        tables_from(R"({"architectures":{"ampere":{"patterns":["GeForce RTX 4090"]},"Ada":{"patterns":["RTX"]}},)"
                    R"("memory_types":{"b":{"patterns":["4090"]},"B":{"patterns":["RTX"]}}})"),
        true);
    EXPECT_EQ(estimator.detect_architecture("NVIDIA GeForce RTX 4090"), "Ada");
    EXPECT_EQ(estimator.detect_memory_type("NVIDIA GeForce RTX 4090"), "B");
}

TEST(Detection, EmptyPatternsClaimWhatEarlierEntriesLeft) {
    const GpuBandwidthEstimator estimator(
        tables_from(R"({"architectures":{"Ada":{"patterns":["RTX 40"]},"Fallback":{"patterns":[""]}},)"
                    R"("memory_types":{"Any":{"patterns":[""]}},"mobile_patterns":["Laptop",""]})"),
        true);
    EXPECT_EQ(estimator.detect_architecture("NVIDIA GeForce RTX 4090"), "Ada");
    EXPECT_EQ(estimator.detect_architecture("Intel(R) UHD Graphics"), "Fallback");
    EXPECT_EQ(estimator.detect_architecture(""), "Fallback");
    EXPECT_EQ(estimator.detect_memory_type("anything"), "Any");
    EXPECT_TRUE(estimator.detect_mobile("NVIDIA GeForce RTX 4090"));
}

TEST(Detection, EntriesWithoutPatternsAreNeverDetected) {
    const GpuBandwidthEstimator estimator(tables_from(R"({"architectures":{"A":{"coefficient":9}}})"), true);
    EXPECT_EQ(estimator.detect_architecture("A"), "");
}

TEST(Detection, RowsOfAnUnloadedTableAreNotRead) {
    const GpuBandwidthEstimator estimator(tables_from(kTables), false);
    EXPECT_EQ(estimator.detect_architecture("NVIDIA GeForce RTX 3090"), "");
    EXPECT_EQ(estimator.detect_memory_type("NVIDIA GeForce RTX 3090"), "");
    EXPECT_FALSE(estimator.detect_mobile("RTX 3090 Laptop"));
}

}  // namespace
}  // namespace mrv
