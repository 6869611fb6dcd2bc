// Answers that a sound Windows does not give but odd drivers, hand-edited
// registries and broken installs do: each is read as "not answered", never
// as a value.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "boundary/snapshot.h"
#include "machine_profiles/profile_platform.h"
#include "probes/cpu_probe.h"
#include "probes/storage_probe.h"
#include "probes/wide_to_utf8.h"
#include "../support/fault_injecting_platform.h"

namespace mrv {
namespace {

using test::Call;
using test::Fault;
using test::FaultInjectingPlatform;

const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// The index of the first call of a kind (and detail, when given) in a log.
std::size_t first_call(const std::vector<test::CallRecord>& log, Call call, const std::string& detail = "") {
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i].call == call && (detail.empty() || log[i].detail == detail)) return i;
    ADD_FAILURE() << "no such call";
    return log.size();
}

TEST(OddPlatformAnswers, RegistryDwordOfAnotherSizeThanFourBytesIsNoClock) {
    const std::vector<std::vector<std::uint8_t>> sizes = {{}, {0xB8, 0x0B}, {0xB8, 0x0B, 0x00}};
    for (const auto& data : sizes) {
        MachineProfile profile;
        profile.registry[kProcessorKey].values = {{"~MHz", {win::kRegDword, data}},
                                                  {"MaxMHz", {win::kRegDword, {0xA8, 0x16, 0, 0}}}};
        ProfilePlatform platform{profile};
        CpuInfo cpu;
        probe_cpu(platform, cpu);
        EXPECT_EQ(cpu.base_frequency_mhz, 0) << data.size() << " bytes";
        EXPECT_EQ(cpu.max_frequency_mhz, 5800) << data.size() << " bytes";
        EXPECT_TRUE(platform.all_released());
    }
}

TEST(OddPlatformAnswers, ConversionPassesThatDisagreeGiveAnEmptyName) {
    // Fewer bytes than counted may cut "Ж" in two; more than the buffer is a lie.
    for (const Fault fault : {Fault::Short, Fault::Oversized}) {
        for (const char* pass : {"count", "convert"}) {
            ProfilePlatform profile{MachineProfile{}};
            FaultInjectingPlatform probe_log{profile};
            wide_to_utf8(probe_log, u"GPU Ж");
            ProfilePlatform fresh{MachineProfile{}};
            FaultInjectingPlatform platform{fresh, first_call(probe_log.log(), Call::WideCharToMultiByte, pass), fault};
            EXPECT_EQ(wide_to_utf8(platform, u"GPU Ж"), "") << pass;
            EXPECT_TRUE(platform.fault_taken());
        }
    }
}

TEST(OddPlatformAnswers, SeekPenaltyAnswerTooShortToHoldTheFlagIsNoSsd) {
    MachineProfile profile;
    profile.logical_drives = 1u << 4;
    profile.drives['E'].incurs_seek_penalty = true;  // a hard disk
    for (const Fault fault : {Fault::Short, Fault::Empty}) {
        ProfilePlatform untouched{profile};
        FaultInjectingPlatform probe_log{untouched};
        std::vector<DriveInfo> ignored;
        probe_storage(probe_log, ignored);

        ProfilePlatform inner{profile};
        FaultInjectingPlatform platform{inner, first_call(probe_log.log(), Call::DeviceIoControl), fault};
        std::vector<DriveInfo> drives;
        probe_storage(platform, drives);
        ASSERT_TRUE(platform.fault_taken());
        ASSERT_EQ(drives.size(), 1u);
        EXPECT_FALSE(drives[0].is_ssd);
        EXPECT_TRUE(inner.all_released());
    }
}

}  // namespace
}  // namespace mrv
