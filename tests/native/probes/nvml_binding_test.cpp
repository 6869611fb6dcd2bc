#include "probes/nvml_binding.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

struct BindingCase {
    const char* label;
    bool present;
    const char* missing_export;  // nullptr: all five exported
    std::int32_t init_result;
    bool module;
    bool init, shutdown, by_index;
    bool init_called;
    bool initialised;
};

const BindingCase kCases[] = {
    {"absent", false, nullptr, nvml::kSuccess, false, false, false, false, false, false},
    {"complete", true, nullptr, nvml::kSuccess, true, true, true, true, true, true},
    {"init_fails", true, nullptr, nvml::kErrorUnknown, true, true, true, true, true, false},
    {"no_shutdown", true, "nvmlShutdown", nvml::kSuccess, true, true, false, true, false, false},
    {"no_init", true, "nvmlInit_v2", nvml::kSuccess, true, false, true, true, false, false},
    {"no_handle_by_index", true, "nvmlDeviceGetHandleByIndex", nvml::kSuccess, true, true, true, false, false,
     false},
    {"only_the_three_entries_are_needed", true, "nvmlDeviceGetBusWidth", nvml::kSuccess, true, true, true, true, true,
     true},
};

// Cases print as their label, so test listings stay readable.
void PrintTo(const BindingCase& test_case, std::ostream* out) { *out << test_case.label; }

class Binding : public ::testing::TestWithParam<BindingCase> {};

TEST_P(Binding, StoresWhatWasFoundAndInitialisesOnlyWithAllThree) {
    const BindingCase& c = GetParam();
    MachineProfile profile;
    profile.nvml.present = c.present;
    profile.nvml.init_result = c.init_result;
    if (c.missing_export != nullptr) profile.nvml.exports.erase(c.missing_export);
    ProfilePlatform platform(profile);

    const NvmlBinding binding = open_nvml_binding(platform);

    EXPECT_EQ(binding.module != 0, c.module);
    EXPECT_EQ(binding.init != 0, c.init);
    EXPECT_EQ(binding.shutdown != 0, c.shutdown);
    EXPECT_EQ(binding.device_get_handle_by_index != 0, c.by_index);
    EXPECT_EQ(binding.initialised, c.initialised);
    std::vector<std::string> expected = {"LoadLibraryExA(nvml.dll)"};
    if (c.present) {
        expected.insert(expected.end(), {"GetProcAddress(nvmlInit_v2)", "GetProcAddress(nvmlShutdown)",
                                         "GetProcAddress(nvmlDeviceGetHandleByIndex)"});
    }
    if (c.init_called) expected.push_back("nvmlInit_v2()");
    EXPECT_EQ(platform.calls(), expected) << "nvmlShutdown is never called";
    EXPECT_TRUE(platform.violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, Binding, ::testing::ValuesIn(kCases),
                         [](const auto& test_case) { return std::string(test_case.param.label); });

}  // namespace
}  // namespace mrv
