// The recording decorator over a profile platform standing in for Windows:
// what it records must replay with the very same calls and answers.
#include "machine_profiles/profile_recorder.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "boundary/request.h"
#include "machine_profiles/profile_json.h"
#include "machine_profiles/profile_platform.h"
#include "probes/nvml_binding.h"
#include "profile_files.h"

namespace mrv {
namespace {

struct Collection {
    std::string document;
    std::vector<std::string> calls;  // as the machine saw them
    MachineProfile recorded;
};

// The DLL's sequence: NVML binding at load, then one request.
std::string collect(Platform& platform, const GpuBandwidthEstimator& estimator) {
    const NvmlBinding nvml = open_nvml_binding(platform);
    const LibraryContext context{platform, nvml, estimator};
    return collect_capabilities_document(context);
}

Collection record(const MachineProfile& machine) {
    const GpuBandwidthEstimator estimator = test::profile_test_estimator();
    ProfilePlatform windows_stand_in{machine};
    RecordingPlatform recorder{windows_stand_in, "recorded by a test"};
    Collection collection;
    collection.document = collect(recorder, estimator);
    collection.calls = windows_stand_in.calls();
    collection.recorded = recorder.profile();
    EXPECT_TRUE(windows_stand_in.all_released());
    return collection;
}

Collection replay(const MachineProfile& profile) {
    ProfilePlatform platform{profile};
    Collection collection;
    collection.document = collect(platform, test::profile_test_estimator());
    collection.calls = platform.calls();
    return collection;
}

void expect_same_replay(const MachineProfile& machine) {
    const Collection recorded = record(machine);
    // Through the file format, as sysinfo_record hands it over.
    const Collection replayed = replay(read_machine_profile(write_machine_profile(recorded.recorded)));
    EXPECT_EQ(replayed.calls, recorded.calls);
    EXPECT_EQ(replayed.document, recorded.document);
    EXPECT_EQ(replay(machine).document, recorded.document) << "the recorder changed an answer";
}

class RecordedProfile : public testing::TestWithParam<std::string> {};

TEST_P(RecordedProfile, ReplaysWithTheSameCallsAndDocument) {
    const MachineProfile machine = read_machine_profile(test::profile_text(GetParam()));
    expect_same_replay(machine);
    EXPECT_EQ(record(machine).document + "\n", test::expected_document(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(MachineClasses, RecordedProfile, testing::ValuesIn(test::profile_names()),
                         [](const testing::TestParamInfo<std::string>& param) { return param.param; });

// Real machines bring NVML's count, PCI identities and both clocks: the
// devices found away from their adapter's position must replay so too.
class RecordedRealMachine : public testing::TestWithParam<std::string> {};

TEST_P(RecordedRealMachine, ReplaysWithTheSameCallsAndDocument) {
    expect_same_replay(read_machine_profile(test::profile_text(GetParam(), test::kRealMachineDirectory)));
}

INSTANTIATE_TEST_SUITE_P(PublishedFigures, RecordedRealMachine,
                         testing::ValuesIn(test::profile_names(test::kRealMachineDirectory)),
                         [](const testing::TestParamInfo<std::string>& param) { return param.param; });

TEST(RecordingPlatform, KeepsWhatNvmlAnsweredForDevicesFoundByIdentity) {
    MachineProfile machine = read_machine_profile(test::profile_text("rtx4090_display_rtx3090_lower_bus",
                                                                     test::kRealMachineDirectory));
    const MachineProfile recorded = record(machine).recorded;
    EXPECT_EQ(recorded.nvml.device_count, 2u);
    ASSERT_EQ(recorded.nvml.devices.size(), 2u);
    for (const auto& [index, device] : recorded.nvml.devices) {
        const NvmlDeviceAnswer& real = machine.nvml.devices.at(index);
        EXPECT_EQ(device.pci_device_id, real.pci_device_id) << index;
        EXPECT_EQ(device.pci_sub_system_id, real.pci_sub_system_id) << index;
        EXPECT_EQ(device.max_memory_clock_mhz, real.max_memory_clock_mhz) << index;
        EXPECT_EQ(device.memory_clock_mhz, 0u) << "the current clock is never asked for";
    }
}

const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// Answers beyond the machine classes: each failure the probes absorb must be
// recorded so that it replays as the same failure.
TEST(RecordingPlatform, FailuresReplayAsTheSameFailures) {
    const struct {
        const char* what;
        std::function<void(MachineProfile&)> change;
    } cases[] = {
        {"topology fill fails", [](MachineProfile& p) { p.topology.fill_error = 31; }},
        {"topology size query fails", [](MachineProfile& p) { p.topology.size_query_error = 50; }},
        {"MaxMHz is a string",
         [](MachineProfile& p) { p.registry[kProcessorKey].values["MaxMHz"] = {win::kRegSz, {'5', '1', '0', '0', 0}}; }},
        {"~MHz is two bytes", [](MachineProfile& p) { p.registry[kProcessorKey].values["~MHz"] = {win::kRegDword, {1, 2}}; }},
        {"processor key refused", [](MachineProfile& p) { p.registry[kProcessorKey].open_status = 5; }},
        {"no memory status", [](MachineProfile& p) { p.memory_status.reset(); }},
        {"no factory", [](MachineProfile& p) { p.dxgi.factory_result = win::kENoInterface; }},
        {"adapter 1 not enumerated", [](MachineProfile& p) { p.dxgi.adapters[1].enum_result = win::kEFail; }},
        {"adapter 0 without description", [](MachineProfile& p) { p.dxgi.adapters[0].desc_result = win::kEFail; }},
        {"adapter 0 without IDXGIAdapter3", [](MachineProfile& p) { p.dxgi.adapters[0].has_adapter3 = false; }},
        {"adapter 0 memory query fails", [](MachineProfile& p) { p.dxgi.adapters[0].memory_info_result = win::kEFail; }},
        {"no software adapter", [](MachineProfile& p) { p.dxgi.adapters.pop_back(); }},
        {"nvmlInit_v2 fails", [](MachineProfile& p) { p.nvml.init_result = 9; }},
        {"no nvmlShutdown", [](MachineProfile& p) { p.nvml.exports.erase("nvmlShutdown"); }},
        {"no nvmlDeviceGetBusWidth", [](MachineProfile& p) { p.nvml.exports.erase("nvmlDeviceGetBusWidth"); }},
        {"no device handle", [](MachineProfile& p) { p.nvml.devices[0].handle_result = nvml::kErrorInvalidArgument; }},
        {"clock query fails", [](MachineProfile& p) { p.nvml.devices[0].max_clock_result = nvml::kErrorNotSupported; }},
        {"bus width 0", [](MachineProfile& p) { p.nvml.devices[0].bus_width_bits = 0; }},
        {"C cannot be opened", [](MachineProfile& p) { p.drives['C'].open_ok = false; }},
        {"C rejects the query", [](MachineProfile& p) { p.drives['C'].ioctl_ok = false; }},
        {"D has no free-space answer", [](MachineProfile& p) { p.drives['D'].free_space_ok = false; }},
        {"C is remote", [](MachineProfile& p) { p.drives['C'].type = win::kDriveRemote; }},
    };
    const MachineProfile desktop = read_machine_profile(test::profile_text("desktop_nvidia_igpu"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MachineProfile machine = desktop;
        c.change(machine);
        expect_same_replay(machine);
    }
}

TEST(RecordingPlatform, RecordsOnlyWhatTheMachineWasAskedAndAnswered) {
    const MachineProfile desktop = read_machine_profile(test::profile_text("desktop_nvidia_igpu"));
    const MachineProfile recorded = record(desktop).recorded;
    EXPECT_EQ(recorded.source, "recorded by a test");
    EXPECT_EQ(recorded.cpuid.size(), 6u);  // 0x80000000, the three brand leaves, 1 and 7
    EXPECT_EQ(recorded.topology.buffer, desktop.topology.buffer);
    // Only the entry points looked up: not the current clock, which nothing reads.
    EXPECT_EQ(recorded.nvml.exports,
              (std::set<std::string>{"nvmlDeviceGetBusWidth", "nvmlDeviceGetHandleByIndex", "nvmlDeviceGetMaxClockInfo",
                                     "nvmlInit_v2", "nvmlShutdown"}));
    EXPECT_EQ(recorded.drives.count('E'), 1u);  // asked for its type, nothing more
    EXPECT_EQ(recorded.drives.count('F'), 0u);

    MachineProfile laptop = read_machine_profile(test::profile_text("laptop_nvidia_no_nvml"));
    const MachineProfile without_nvml = record(laptop).recorded;
    EXPECT_FALSE(without_nvml.nvml.present);
    EXPECT_TRUE(without_nvml.nvml.exports.empty());
    EXPECT_TRUE(without_nvml.nvml.devices.empty());
}

}  // namespace
}  // namespace mrv
