// Every machine profile of tests/profiles through the library's whole
// pipeline: the document must match its checked expected document byte for
// byte (the document, then the one line break sysinfo_replay prints).
#include "machine_profiles/profile_replay.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "machine_profiles/profile_json.h"
#include "../data/shipped_table.h"
#include "profile_files.h"

namespace mrv {
namespace {

class ProfileReplay : public testing::TestWithParam<std::string> {};

TEST_P(ProfileReplay, GivesItsExpectedDocumentByteForByte) {
    const MachineProfile profile = read_machine_profile(test::profile_text(GetParam()));
    const ReplayOutcome outcome = replay_machine_profile(profile, test::profile_test_estimator());
    EXPECT_TRUE(outcome.misuse.empty()) << outcome.misuse.front();
    EXPECT_EQ(outcome.document + "\n", test::expected_document(GetParam()));
}

TEST_P(ProfileReplay, SaysWhereItsDataCameFrom) {
    const std::string origin = read_machine_profile(test::profile_text(GetParam())).source;
    EXPECT_TRUE(origin.rfind("made up: ", 0) == 0 || origin.rfind("recorded by sysinfo_record on ", 0) == 0) << origin;
    EXPECT_EQ(origin.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(MachineClasses, ProfileReplay, testing::ValuesIn(test::profile_names()),
                         [](const testing::TestParamInfo<std::string>& param) { return param.param; });

class RealMachineReplay : public testing::TestWithParam<std::string> {};

TEST_P(RealMachineReplay, TellsItsOwnerWhatItsExpectedDocumentSays) {
    const std::string text = test::profile_text(GetParam(), test::kRealMachineDirectory);
    const MachineProfile profile = read_machine_profile(text);
    const ReplayOutcome outcome = replay_machine_profile(profile, test::shipped_table());
    EXPECT_TRUE(outcome.misuse.empty()) << outcome.misuse.front();
    EXPECT_EQ(outcome.document + "\n", test::expected_document(GetParam(), test::kRealMachineDirectory));
    EXPECT_EQ(profile.source.rfind("assembled from published figures, not recorded: ", 0), 0u) << profile.source;
    EXPECT_EQ(nlohmann::json::parse(text)["format"], kMachineProfileFormat);
}

INSTANTIATE_TEST_SUITE_P(PublishedFigures, RealMachineReplay,
                         testing::ValuesIn(test::profile_names(test::kRealMachineDirectory)),
                         [](const testing::TestParamInfo<std::string>& param) { return param.param; });

TEST(ProfileFiles, CoverEveryMachineClass) {
    const std::vector<std::string> names = test::profile_names();
    const std::set<std::string> present(names.begin(), names.end());
    for (const char* name : {"desktop_nvidia_igpu", "laptop_nvidia_no_nvml", "amd_desktop", "intel_arc_desktop",
                             "ultrabook_igpu_only", "virtual_machine", "workstation_96_cores_two_nvidia",
                             "no_fixed_drives", "every_call_fails"})
        EXPECT_EQ(present.count(name), 1u) << name;
    const std::vector<std::string> real = test::profile_names(test::kRealMachineDirectory);
    EXPECT_EQ(real, (std::vector<std::string>{"rtx4060_desktop", "rtx4070_laptop_optimus", "rtx4090_desktop_at_rest",
                                              "rtx4090_display_rtx3090_lower_bus", "rx7900xtx_desktop"}));
}

// The tables decide architecture and table bandwidth only: without them the
// NVML measurement still stands and table estimates fall to 0.
TEST(ProfileReplayTables, WithoutTablesOnlyNvmlMeasuresBandwidth) {
    const MachineProfile profile = read_machine_profile(test::profile_text("desktop_nvidia_igpu"));
    const GpuBandwidthEstimator no_tables{ArchitectureTables{}, false};
    const auto document = nlohmann::json::parse(replay_machine_profile(profile, no_tables).document);
    EXPECT_EQ(document["gpus"][0]["memory_bandwidth_gbs"], 716.864);
    EXPECT_EQ(document["gpus"][0]["architecture"], "");
    EXPECT_EQ(document["capabilities"]["llm_server"]["status"], "ok");

    const MachineProfile laptop = read_machine_profile(test::profile_text("laptop_nvidia_no_nvml"));
    const auto without = nlohmann::json::parse(replay_machine_profile(laptop, no_tables).document);
    EXPECT_EQ(without["gpus"][0]["memory_bandwidth_gbs"], 0.0);
    EXPECT_EQ(without["capabilities"]["llm_server"]["best_gpu_index"], -1);
}

}  // namespace
}  // namespace mrv
