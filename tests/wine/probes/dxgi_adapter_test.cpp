// Wine's one DXGI adapter, shaped through its Direct3D settings, as the real
// library lists it. Wine reads the settings when a process starts DXGI, so
// every case runs the library in a fresh process; it honours only devices of
// its own card table (an unknown one falls back to its default NVIDIA card).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "capabilities_of.h"
#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

constexpr std::uint64_t kMib = 1048576;

struct AdapterCase {
    const char* label;
    std::uint32_t vendor_id;
    std::uint32_t device_id;
    std::uint32_t memory_mib;
    bool discrete;
    std::int32_t score;
};

class WineAdapter : public testing::TestWithParam<AdapterCase> {
protected:
    void TearDown() override { reset_wine_adapter(); }
};

TEST_P(WineAdapter, IsListedWithItsVendorMemoryAndScore) {
    const AdapterCase& c = GetParam();
    ASSERT_TRUE(set_wine_adapter(c.vendor_id, c.device_id, c.memory_mib));
    const std::string working = make_scratch_directory(std::string("probes_adapter_") + c.label);
    const nlohmann::json document = capabilities_from_process(program_directory(), working);
    ASSERT_TRUE(document.is_object());
    ASSERT_EQ(document["gpus"].size(), 1u) << document["gpus"].dump();
    const nlohmann::json& gpu = document["gpus"][0];
    EXPECT_EQ(gpu["vendor_id"], c.vendor_id);
    EXPECT_EQ(gpu["dedicated_vram_bytes"], c.memory_mib * kMib);
    EXPECT_EQ(gpu["is_discrete"], c.discrete);
    EXPECT_EQ(gpu["score"], c.score);
    EXPECT_FALSE(gpu["name"].get<std::string>().empty());
    // Wine answers IDXGIAdapter3::QueryVideoMemoryInfo with a budget.
    EXPECT_GT(gpu["vram_budget_bytes"].get<std::uint64_t>(), 0u);
    // No gpu_architectures.json in the working directory: nothing detected.
    EXPECT_EQ(gpu["architecture"], "");
    EXPECT_EQ(gpu["memory_bandwidth_gbs"], 0.0);
    EXPECT_EQ(gpu["recommended_for_llm"], false);
}

INSTANTIATE_TEST_SUITE_P(Cases, WineAdapter,
                         testing::Values(AdapterCase{"amd_16_gib", 0x1002, 0x73BF, 16384, true, 1190},
                                         AdapterCase{"amd_512_mib", 0x1002, 0x73BF, 512, false, 30},
                                         AdapterCase{"amd_exactly_1_gib", 0x1002, 0x73BF, 1024, true, 1040},
                                         AdapterCase{"nvidia_24_gib", 0x10DE, 0x2204, 24576, true, 1290},
                                         AdapterCase{"intel_128_mib", 0x8086, 0x5912, 128, true, 1010}),
                         [](const auto& test_case) { return std::string(test_case.param.label); });

TEST(WineAdapterTables, TheTableFileOfTheWorkingDirectoryGivesTheEstimate) {
    ASSERT_TRUE(set_wine_adapter(0x1002, 0x73BF, 16384));
    const std::string working = make_scratch_directory("probes_adapter_with_tables");
    ASSERT_TRUE(write_file(working + "gpu_architectures.json",
                           R"({"architectures":{"RDNA2":{"coefficient":32,"patterns":["Radeon"]}}})"));
    const nlohmann::json document = capabilities_from_process(program_directory(), working);
    reset_wine_adapter();
    ASSERT_TRUE(document.is_object());
    ASSERT_EQ(document["gpus"].size(), 1u);
    const nlohmann::json& gpu = document["gpus"][0];
    EXPECT_EQ(gpu["architecture"], "RDNA2") << gpu["name"];
    EXPECT_EQ(gpu["memory_bandwidth_gbs"], 512.0);
    EXPECT_EQ(gpu["recommended_for_llm"], true);
    EXPECT_EQ(document["capabilities"]["llm_server"]["best_gpu_index"], 0);
}

}  // namespace
}  // namespace mrv::wine_test
