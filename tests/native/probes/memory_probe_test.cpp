#include "probes/memory_probe.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "boundary/request.h"
#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

MemoryStatusEx status_with_distinct_members() {
    MemoryStatusEx status;
    status.memory_load = 41;
    status.total_phys = 34359738368;        // 32 GiB
    status.avail_phys = 17179869185;        // 16 GiB and a byte
    status.total_page_file = 39728447488;  // the commit limit, above the RAM
    status.avail_page_file = 20000000001;
    status.total_virtual = 1;
    status.avail_virtual = 2;
    status.avail_extended_virtual = 3;
    return status;
}

TEST(MemoryProbe, CopiesTheFourTotalsAsReported) {
    MachineProfile profile;
    profile.memory_status = status_with_distinct_members();
    ProfilePlatform platform(profile);
    MemoryInfo memory;
    probe_memory(platform, memory);
    EXPECT_EQ(memory.total_ram_bytes, 34359738368u);
    EXPECT_EQ(memory.available_ram_bytes, 17179869185u);
    EXPECT_EQ(memory.total_page_file_bytes, 39728447488u);
    EXPECT_EQ(memory.available_page_file_bytes, 20000000001u);
    EXPECT_EQ(platform.calls(), std::vector<std::string>{"GlobalMemoryStatusEx(64)"});
    EXPECT_TRUE(platform.violations().empty());
}

TEST(MemoryProbe, AFailingQueryLeavesTheRecordAsItWas) {
    ProfilePlatform platform{MachineProfile{}};  // no memory_status: the call fails
    MemoryInfo fresh;
    probe_memory(platform, fresh);
    EXPECT_EQ(fresh.total_ram_bytes, 0u);
    EXPECT_EQ(fresh.available_ram_bytes, 0u);
    EXPECT_EQ(fresh.total_page_file_bytes, 0u);
    EXPECT_EQ(fresh.available_page_file_bytes, 0u);

    MemoryInfo earlier{1, 2, 3, 4};
    probe_memory(platform, earlier);
    EXPECT_EQ(earlier.total_ram_bytes, 1u);
    EXPECT_EQ(earlier.available_page_file_bytes, 4u);
}

TEST(MemoryProbe, TheRequestCompletesWithoutMemoryFigures) {
    ProfilePlatform platform{MachineProfile{}};
    const NvmlBinding no_nvml;
    const GpuBandwidthEstimator no_tables(ArchitectureTables{}, false);
    const auto document = nlohmann::json::parse(collect_capabilities_document({platform, no_nvml, no_tables}));
    for (const char* key :
         {"total_ram_bytes", "available_ram_bytes", "total_page_file_bytes", "available_page_file_bytes"})
        EXPECT_EQ(document.at("memory").at(key), 0) << key;
    EXPECT_EQ(document.at("capabilities").at("transcription").at("warnings"),
              nlohmann::json::array({"Недостаточно свободной памяти (требуется минимум 1 ГБ)"}));
}

}  // namespace
}  // namespace mrv
