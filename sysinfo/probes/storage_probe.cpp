#include "probes/storage_probe.h"

#include <cstddef>
#include <string>

namespace mrv {
namespace {

constexpr int kDriveLetters = 26;  // bits 26..31 of the mask are not drives
// Version and Size, then the one byte IncursSeekPenalty.
constexpr std::uint32_t kSeekPenaltyAnswered = offsetof(DeviceSeekPenaltyDescriptor, incurs_seek_penalty) + 1;

// No seek penalty is what the storage stack reports for solid-state devices.
// Access 0 is enough for a property query and needs no elevation.
bool reports_no_seek_penalty(Platform& platform, char letter) {
    const std::string device = std::string("\\\\.\\") + letter + ":";
    const Handle handle = platform.create_file(device.c_str(), 0, win::kFileShareRead | win::kFileShareWrite,
                                               win::kOpenExisting, 0);
    if (handle == kInvalidHandle) return false;

    StoragePropertyQuery query;
    query.property_id = win::kStorageDeviceSeekPenaltyProperty;
    query.query_type = win::kPropertyStandardQuery;
    DeviceSeekPenaltyDescriptor descriptor;
    std::uint32_t bytes_returned = 0;
    const bool answered = platform.device_io_control(handle, win::kIoctlStorageQueryProperty, &query,
                                                     sizeof query, &descriptor, sizeof descriptor, bytes_returned);
    platform.close_handle(handle);
    // A driver that answers with fewer bytes than reach IncursSeekPenalty has
    // not answered the question; the zero-filled descriptor would say "SSD".
    return answered && bytes_returned >= kSeekPenaltyAnswered && descriptor.incurs_seek_penalty == 0;
}

}  // namespace

void probe_storage(Platform& platform, std::vector<DriveInfo>& drives) {
    const std::uint32_t mask = platform.get_logical_drives();
    for (int i = 0; i < kDriveLetters; ++i) {
        if ((mask & (1u << i)) == 0) continue;
        const char letter = static_cast<char>('A' + i);
        const std::string root = std::string(1, letter) + ":\\";
        if (platform.get_drive_type(root.c_str()) != win::kDriveFixed) continue;

        DriveInfo drive;
        drive.drive_letter = letter;
        std::uint64_t free_to_caller = 0;
        std::uint64_t total = 0;
        if (platform.get_disk_free_space_ex(root.c_str(), free_to_caller, total)) {
            drive.free_space_bytes = free_to_caller;
            drive.total_space_bytes = total;
        }
        drive.is_ssd = reports_no_seek_penalty(platform, letter);
        drives.push_back(drive);
    }
}

}  // namespace mrv
