// One machine's answers to every platform call of a collection, failures
// included. ProfilePlatform replays it; tests build it in code or read it
// from a profile file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace mrv {

struct TopologyAnswer {
    // The records the system hands out for RelationProcessorCore, as raw bytes.
    std::vector<std::uint8_t> buffer;
    // Last error of a call that fails before looking at the buffer (0: it does not).
    std::uint32_t size_query_error = 0;
    // Last error of the call that is given a large enough buffer (0: it succeeds).
    std::uint32_t fill_error = 0;
};

struct RegistryValue {
    std::uint32_t type = win::kRegDword;
    std::vector<std::uint8_t> data;
};

struct RegistryKey {
    std::int32_t open_status = 0;  // non-zero: RegOpenKeyExA fails with it
    std::map<std::string, RegistryValue> values;
};

struct AdapterAnswer {
    std::int32_t enum_result = win::kSOk;  // what EnumAdapters1 returns at this index
    std::int32_t desc_result = win::kSOk;
    AdapterDesc1 desc;
    bool has_adapter3 = true;
    std::int32_t memory_info_result = win::kSOk;
    VideoMemoryInfo memory_info;
};

struct DxgiAnswer {
    std::int32_t factory_result = win::kSOk;
    std::vector<AdapterAnswer> adapters;  // past the end: DXGI_ERROR_NOT_FOUND
};

struct NvmlDeviceAnswer {
    std::int32_t handle_result = nvml::kSuccess;
    std::int32_t pci_result = nvml::kSuccess;  // nvmlDeviceGetPciInfo_v3
    std::uint32_t pci_device_id = 0;           // device ID << 16 | vendor ID
    std::uint32_t pci_sub_system_id = 0;
    std::int32_t clock_result = nvml::kSuccess;  // nvmlDeviceGetClockInfo: the current memory clock
    std::uint32_t memory_clock_mhz = 0;
    std::int32_t max_clock_result = nvml::kSuccess;  // nvmlDeviceGetMaxClockInfo
    std::uint32_t max_memory_clock_mhz = 0;
    std::int32_t bus_width_result = nvml::kSuccess;
    std::uint32_t bus_width_bits = 0;
};

// A device that answers every call, with the PCI identity of the adapter
// described by `desc` and the same current and maximum memory clock.
inline NvmlDeviceAnswer working_nvml_device(const AdapterDesc1& desc, std::uint32_t memory_clock_mhz,
                                            std::uint32_t bus_width_bits) {
    NvmlDeviceAnswer device;
    device.pci_device_id = desc.device_id << 16 | desc.vendor_id;
    device.pci_sub_system_id = desc.sub_sys_id;
    device.memory_clock_mhz = memory_clock_mhz;
    device.max_memory_clock_mhz = memory_clock_mhz;
    device.bus_width_bits = bus_width_bits;
    return device;
}

struct NvmlAnswer {
    bool present = false;  // nvml.dll can be loaded
    std::set<std::string> exports = {"nvmlInit_v2",           "nvmlShutdown",           "nvmlDeviceGetHandleByIndex",
                                      "nvmlDeviceGetCount",    "nvmlDeviceGetPciInfo_v3", "nvmlDeviceGetClockInfo",
                                      "nvmlDeviceGetMaxClockInfo", "nvmlDeviceGetBusWidth"};
    std::int32_t init_result = nvml::kSuccess;
    std::int32_t count_result = nvml::kSuccess;
    std::uint32_t device_count = 0;  // what nvmlDeviceGetCount answers
    std::map<std::uint32_t, NvmlDeviceAnswer> devices;  // by index; others: NVML_ERROR_INVALID_ARGUMENT
};

struct DriveAnswer {
    std::uint32_t type = win::kDriveFixed;
    bool free_space_ok = true;
    std::uint64_t free_to_caller = 0;
    std::uint64_t total = 0;
    bool open_ok = true;
    bool ioctl_ok = true;
    bool incurs_seek_penalty = false;
};

struct MachineProfile {
    std::string source;  // where the answers came from
    std::map<std::pair<std::uint32_t, std::uint32_t>, CpuidResult> cpuid;  // missing leaves read as zeros
    std::uint32_t number_of_processors = 0;
    TopologyAnswer topology;
    std::map<std::string, RegistryKey> registry;  // HKEY_LOCAL_MACHINE sub-keys
    std::optional<MemoryStatusEx> memory_status;  // absent: GlobalMemoryStatusEx fails
    DxgiAnswer dxgi;
    NvmlAnswer nvml;
    std::uint32_t logical_drives = 0;
    std::map<char, DriveAnswer> drives;  // letters absent here have no root directory
};

}  // namespace mrv
