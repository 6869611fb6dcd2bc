// The real library's processor, memory and drive figures against what the
// same Windows calls tell this process under Wine.
#include <windows.h>
#include <intrin.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "capabilities_of.h"
#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

class PlatformFigures : public testing::Test {
protected:
    static void SetUpTestSuite() { document_ = capabilities_in_process(program_directory()); }
    void SetUp() override { ASSERT_TRUE(document_.is_object()); }
    static nlohmann::json document_;
};

nlohmann::json PlatformFigures::document_;

bool cpuid_bit(int leaf, int register_index, int bit) {
    int registers[4] = {};
    __cpuidex(registers, leaf, 0);
    return (static_cast<unsigned>(registers[register_index]) >> bit & 1u) != 0;
}

TEST_F(PlatformFigures, ProcessorMatchesSystemInfoAndCpuid) {
    const nlohmann::json& cpu = document_["cpu"];
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(cpu["logical_cores"], info.dwNumberOfProcessors);
    EXPECT_GE(cpu["physical_cores"].get<int>(), 1);
    EXPECT_LE(cpu["physical_cores"].get<int>(), cpu["logical_cores"].get<int>());

    char raw[49] = {};
    for (int i = 0; i < 3; ++i) __cpuidex(reinterpret_cast<int*>(raw + 16 * i), static_cast<int>(0x80000002u) + i, 0);
    const std::string brand = cpu["brand"];
    EXPECT_FALSE(brand.empty());
    EXPECT_NE(std::string(raw).find(brand), std::string::npos) << raw;

    EXPECT_EQ(cpu["has_fma"], cpuid_bit(1, 2, 12));
    EXPECT_EQ(cpu["has_f16c"], cpuid_bit(1, 2, 29));
    EXPECT_EQ(cpu["has_avx2"], cpuid_bit(7, 1, 5));
    EXPECT_EQ(cpu["has_avx512"], cpuid_bit(7, 1, 16));
}

DWORD processor_value(const char* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG status = RegGetValueA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", name,
                                     RRF_RT_REG_DWORD, nullptr, &value, &size);
    return status == ERROR_SUCCESS ? value : 0;
}

TEST_F(PlatformFigures, ClocksAreTheRegistryDwords) {
    EXPECT_EQ(document_["cpu"]["base_frequency_mhz"], processor_value("~MHz"));
    EXPECT_EQ(document_["cpu"]["max_frequency_mhz"], processor_value("MaxMHz"));
}

TEST_F(PlatformFigures, MemoryMatchesGlobalMemoryStatusEx) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    const nlohmann::json& memory = document_["memory"];
    EXPECT_EQ(memory["total_ram_bytes"], status.ullTotalPhys);
    EXPECT_LE(memory["available_ram_bytes"].get<std::uint64_t>(), status.ullTotalPhys);
    EXPECT_GE(memory["total_page_file_bytes"].get<std::uint64_t>(), status.ullTotalPhys);
    EXPECT_LE(memory["available_page_file_bytes"].get<std::uint64_t>(),
              memory["total_page_file_bytes"].get<std::uint64_t>());
}

// What the seek-penalty query says for one volume: true for solid-state.
bool volume_reports_no_seek_penalty(char letter) {
    const std::string device = std::string("\\\\.\\") + letter + ":";
    HANDLE volume = CreateFileA(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (volume == INVALID_HANDLE_VALUE) return false;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_SEEK_PENALTY_DESCRIPTOR descriptor{};
    DWORD returned = 0;
    const BOOL answered = DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &descriptor,
                                          sizeof descriptor, &returned, nullptr);
    CloseHandle(volume);
    return answered && !descriptor.IncursSeekPenalty;
}

TEST_F(PlatformFigures, StorageListsEveryFixedDriveInLetterOrder) {
    std::string fixed;
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        const char root[] = {static_cast<char>('A' + i), ':', '\\', '\0'};
        if ((mask >> i & 1u) != 0 && GetDriveTypeA(root) == DRIVE_FIXED) fixed += root[0];
    }
    std::string listed;
    for (const nlohmann::json& drive : document_["storage"]) {
        const std::string letter = drive["drive_letter"];
        ASSERT_EQ(letter.size(), 1u);
        listed += letter;
        const auto total = drive["total_space_bytes"].get<std::uint64_t>();
        EXPECT_GT(total, 0u) << letter;
        EXPECT_LE(drive["free_space_bytes"].get<std::uint64_t>(), total) << letter;
        EXPECT_EQ(drive["is_ssd"], volume_reports_no_seek_penalty(letter[0])) << letter;
    }
    EXPECT_EQ(listed, fixed);
    EXPECT_NE(listed.find('C'), std::string::npos) << "Wine's C: is a fixed drive";
}

}  // namespace
}  // namespace mrv::wine_test
