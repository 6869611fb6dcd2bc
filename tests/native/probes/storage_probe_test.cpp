#include "probes/storage_probe.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "document/capabilities_document.h"
#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

constexpr std::uint32_t bit(char letter) { return 1u << (letter - 'A'); }

DriveAnswer fixed(std::uint64_t free_to_caller = 100, std::uint64_t total = 500) {
    DriveAnswer drive;
    drive.free_to_caller = free_to_caller;
    drive.total = total;
    return drive;
}

DriveAnswer of_type(std::uint32_t type) {
    DriveAnswer drive = fixed();
    drive.type = type;
    return drive;
}

DriveAnswer changed(DriveAnswer drive, void (*change)(DriveAnswer&)) {
    change(drive);
    return drive;
}

// "C:free/total:ssd|hdd" per listed drive.
std::string listing(const std::vector<DriveInfo>& drives) {
    std::ostringstream out;
    for (const DriveInfo& drive : drives)
        out << (out.tellp() > 0 ? " " : "") << drive.drive_letter << ":" << drive.free_space_bytes << "/"
            << drive.total_space_bytes << ":" << (drive.is_ssd ? "ssd" : "hdd");
    return out.str();
}

struct StorageCase {
    const char* label;
    std::uint32_t mask;
    std::map<char, DriveAnswer> drives;
    const char* expected;
};

// Cases print as their label, so test listings stay readable.
void PrintTo(const StorageCase& test_case, std::ostream* out) { *out << test_case.label; }

class Storage : public ::testing::TestWithParam<StorageCase> {};

TEST_P(Storage, ListsFixedDrivesInLetterOrder) {
    MachineProfile profile;
    profile.logical_drives = GetParam().mask;
    profile.drives = GetParam().drives;
    ProfilePlatform platform(profile);
    std::vector<DriveInfo> drives;
    probe_storage(platform, drives);
    EXPECT_EQ(listing(drives), GetParam().expected);
    // Every volume opened is closed once, and nothing else is left open.
    EXPECT_TRUE(platform.all_released()) << platform.live_objects() << " live";
    const LedgerCounts files = platform.counts(ResourceKind::File);
    EXPECT_EQ(files.acquired, files.released);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Storage,
    ::testing::Values(
        StorageCase{"only_c_fixed_beside_dvd_and_network_drive",
                    bit('C') | bit('D') | bit('Z'),
                    {{'C', fixed()}, {'D', of_type(win::kDriveCdrom)}, {'Z', of_type(win::kDriveRemote)}},
                    "C:100/500:ssd"},
        StorageCase{"other_types_are_left_out",
                    bit('A') | bit('C') | bit('E') | bit('R') | bit('U'),
                    {{'A', of_type(win::kDriveRemovable)},
                     {'C', fixed()},
                     {'E', of_type(win::kDriveUnknown)},
                     {'R', of_type(win::kDriveRamdisk)},
                     {'U', of_type(win::kDriveNoRootDir)}},
                    "C:100/500:ssd"},
        StorageCase{"c_and_e_in_letter_order",
                    bit('E') | bit('C'),
                    {{'E', fixed(7, 8)}, {'C', fixed(1, 2)}},
                    "C:1/2:ssd E:7/8:ssd"},
        StorageCase{"mask_bit_without_a_root_is_skipped", bit('C') | bit('F'), {{'C', fixed()}}, "C:100/500:ssd"},
        StorageCase{"drive_outside_the_mask_is_not_asked", bit('C'), {{'C', fixed()}, {'D', fixed()}},
                    "C:100/500:ssd"},
        StorageCase{"free_space_failure_gives_zero_and_zero",
                    bit('C'),
                    {{'C', changed(fixed(), [](DriveAnswer& d) { d.free_space_ok = false; })}},
                    "C:0/0:ssd"},
        StorageCase{"volume_that_cannot_be_opened_is_listed_as_not_ssd",
                    bit('C'),
                    {{'C', changed(fixed(), [](DriveAnswer& d) { d.open_ok = false; })}},
                    "C:100/500:hdd"},
        StorageCase{"query_failing_gives_not_ssd",
                    bit('C'),
                    {{'C', changed(fixed(), [](DriveAnswer& d) { d.ioctl_ok = false; })}},
                    "C:100/500:hdd"},
        StorageCase{"seek_penalty_reported_gives_not_ssd",
                    bit('C') | bit('D'),
                    {{'C', fixed()}, {'D', changed(fixed(), [](DriveAnswer& d) { d.incurs_seek_penalty = true; })}},
                    "C:100/500:ssd D:100/500:hdd"},
        StorageCase{"bits_26_to_31_are_not_drives", 0xFC000000u | bit('C'), {{'C', fixed()}}, "C:100/500:ssd"},
        StorageCase{"large_volume_sizes_are_kept", bit('C'),
                    {{'C', fixed(0xFFFFFFFFFFFFFFF0ull, 0xFFFFFFFFFFFFFFFFull)}},
                    "C:18446744073709551600/18446744073709551615:ssd"},
        StorageCase{"no_fixed_drive", bit('D') | bit('Z'),
                    {{'D', of_type(win::kDriveCdrom)}, {'Z', of_type(win::kDriveRemote)}}, ""},
        StorageCase{"no_drive_at_all", 0, {}, ""}),
    [](const auto& test_case) { return std::string(test_case.param.label); });

TEST(StorageProbe, OneDriveIsAskedInOrderWithTheDocumentedArguments) {
    MachineProfile profile;
    profile.logical_drives = bit('C');
    profile.drives['C'] = fixed();
    ProfilePlatform platform(profile);
    std::vector<DriveInfo> drives;
    probe_storage(platform, drives);
    const std::vector<std::string> expected = {
        "GetLogicalDrives()",        "GetDriveTypeA(C:\\)",         "GetDiskFreeSpaceExA(C:\\)",
        "CreateFileA(\\\\.\\C:,0,3,3,0)", "DeviceIoControl(0x2d1400,12,12)", "CloseHandle()"};
    EXPECT_EQ(platform.calls(), expected);
    EXPECT_TRUE(platform.violations().empty());
}

TEST(StorageProbe, HighMaskBitsAskForNoLetterBeyondZ) {
    MachineProfile profile;
    profile.logical_drives = 0xFFFFFFFFu;
    ProfilePlatform platform(profile);
    std::vector<DriveInfo> drives;
    probe_storage(platform, drives);
    const auto& calls = platform.calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.rfind("GetDriveTypeA(", 0) == 0; }),
              26);
    EXPECT_EQ(calls.back(), "GetDriveTypeA(Z:\\)");
    EXPECT_TRUE(drives.empty());
}

TEST(StorageProbe, AnUnopenedVolumeIsNeitherQueriedNorClosed) {
    MachineProfile profile;
    profile.logical_drives = bit('C');
    profile.drives['C'] = changed(fixed(), [](DriveAnswer& d) { d.open_ok = false; });
    ProfilePlatform platform(profile);
    std::vector<DriveInfo> drives;
    probe_storage(platform, drives);
    for (const std::string& call : platform.calls()) {
        EXPECT_NE(call.rfind("DeviceIoControl", 0), 0u);
        EXPECT_NE(call, "CloseHandle()");
    }
    EXPECT_TRUE(platform.violations().empty());
}

TEST(StorageProbe, NoFixedDriveIsWrittenAsAnEmptyArray) {
    MachineProfile profile;
    profile.logical_drives = bit('D');
    profile.drives['D'] = of_type(win::kDriveCdrom);
    ProfilePlatform platform(profile);
    SystemSnapshot snapshot;
    probe_storage(platform, snapshot.storage);
    EXPECT_NE(build_capabilities_json(snapshot).find("\"storage\":[]"), std::string::npos);
}

}  // namespace
}  // namespace mrv
