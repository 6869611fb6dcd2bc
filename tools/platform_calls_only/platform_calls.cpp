#include "platform_calls.h"

#include <cstdint>
#include <vector>

#include "probes/nvml_api.h"
#include "probes/nvml_device_matching.h"

namespace mrv {
namespace {

constexpr std::uint32_t kVendorNvidia = 0x10DE;
constexpr std::uint32_t kMaxAdapters = 1024;  // the enumeration's own bound
constexpr std::uint32_t kMaxNvidiaAdapters = 64;
const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

}  // namespace

void make_cpu_platform_calls(Platform& platform) {
    if (platform.cpuid(0x80000000u, 0).eax >= 0x80000004u)
        for (std::uint32_t leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) platform.cpuid(leaf, 0);
    platform.get_system_info_number_of_processors();

    std::uint32_t length = 0;
    if (platform.get_logical_processor_information_ex(win::kRelationProcessorCore, nullptr, length) ||
        platform.get_last_error() == win::kErrorInsufficientBuffer) {
        std::vector<std::uint8_t> buffer(length, 0);
        platform.get_logical_processor_information_ex(win::kRelationProcessorCore, buffer.data(), length);
    }

    for (const char* value : {"~MHz", "MaxMHz"}) {
        Handle key = 0;
        if (platform.reg_open_key_ex(kProcessorKey, key) != 0) continue;
        std::uint8_t data[4] = {};
        std::uint32_t size = sizeof data;
        std::uint32_t type = 0;
        platform.reg_query_value_ex(key, value, type, data, size);
        platform.reg_close_key(key);
    }
    platform.cpuid(1, 0);
    platform.cpuid(7, 0);
}

void make_memory_platform_calls(Platform& platform) {
    MemoryStatusEx status;
    status.length = sizeof status;
    platform.global_memory_status_ex(status);
}

namespace {

void name_calls(Platform& platform, const AdapterDesc1& desc) {
    std::int32_t length = 0;
    while (length < 128 && desc.description[length] != 0) ++length;
    if (length == 0) return;
    const std::int32_t needed = platform.wide_char_to_multi_byte_utf8(desc.description, length, nullptr, 0);
    char text[128 * 3];
    if (needed > 0 && needed <= static_cast<std::int32_t>(sizeof text))
        platform.wide_char_to_multi_byte_utf8(desc.description, length, text, needed);
}

struct NvidiaAdapter {
    std::uint32_t position;
    PciIdentity identity;
};

// Returns the number of NVIDIA adapters listed, noted in listing order.
std::uint32_t gpu_calls(Platform& platform, NvidiaAdapter (&nvidia_adapters)[kMaxNvidiaAdapters]) {
    Handle factory = 0;
    if (platform.create_dxgi_factory1_factory4(factory) != win::kSOk) return 0;
    std::uint32_t listed = 0;
    std::uint32_t nvidia = 0;
    for (std::uint32_t index = 0; index < kMaxAdapters; ++index) {
        Handle adapter = 0;
        const std::int32_t result = platform.enum_adapters1(factory, index, adapter);
        if (result == win::kDxgiErrorNotFound) break;
        if (result < 0 || adapter == 0) continue;
        AdapterDesc1 desc;
        if (platform.get_desc1(adapter, desc) >= 0 && (desc.flags & win::kDxgiAdapterFlagSoftware) == 0) {
            name_calls(platform, desc);
            Handle adapter3 = 0;
            if (platform.query_interface_adapter3(adapter, adapter3) >= 0 && adapter3 != 0) {
                VideoMemoryInfo info;
                platform.query_video_memory_info(adapter3, 0, win::kDxgiMemorySegmentGroupLocal, info);
                platform.release(adapter3);
            }
            if (desc.vendor_id == kVendorNvidia && nvidia < kMaxNvidiaAdapters)
                nvidia_adapters[nvidia++] = {listed, {desc.vendor_id, desc.device_id, desc.sub_sys_id}};
            ++listed;
        }
        platform.release(adapter);
    }
    platform.release(factory);
    return nvidia;
}

void nvml_calls(Platform& platform, NvmlDevice device) {
    const Handle module = platform.get_module_handle(nvml::kLibraryName);
    if (module == 0) return;
    const Symbol max_clock_info = platform.get_proc_address(module, nvml::kDeviceGetMaxClockInfoName);
    const Symbol bus_width = platform.get_proc_address(module, nvml::kDeviceGetBusWidthName);
    if (max_clock_info == 0 || bus_width == 0) return;
    std::uint32_t clock = 0;
    std::uint32_t bits = 0;
    if (platform.call_nvml_device_clock_query(max_clock_info, device, nvml::kClockMem, clock) == nvml::kSuccess)
        platform.call_nvml_device_get_bus_width(bus_width, device, bits);
}

}  // namespace

void make_gpu_platform_calls(Platform& platform, const NvmlBinding& nvml) {
    NvidiaAdapter nvidia[kMaxNvidiaAdapters] = {};
    const std::uint32_t count = gpu_calls(platform, nvidia);
    if (!nvml.initialised || nvml.device_get_handle_by_index == 0) return;
    // Finding a device is the matcher's own calls; what it compares costs nothing beside them.
    NvmlDeviceMatcher devices(platform, nvml);
    GpuInfo supported;
    supported.has_nvml_support = true;
    for (std::uint32_t i = 0; i < count; ++i)
        if (const NvmlDevice device = devices.device_for(supported, nvidia[i].identity, nvidia[i].position))
            nvml_calls(platform, device);
}

void make_storage_platform_calls(Platform& platform) {
    const std::uint32_t mask = platform.get_logical_drives();
    for (int i = 0; i < 26; ++i) {
        if ((mask & (1u << i)) == 0) continue;
        const char letter = static_cast<char>('A' + i);
        const char root[] = {letter, ':', '\\', '\0'};
        if (platform.get_drive_type(root) != win::kDriveFixed) continue;
        std::uint64_t free_to_caller = 0;
        std::uint64_t total = 0;
        platform.get_disk_free_space_ex(root, free_to_caller, total);
        const char device[] = {'\\', '\\', '.', '\\', letter, ':', '\0'};
        const Handle handle = platform.create_file(device, 0, win::kFileShareRead | win::kFileShareWrite,
                                                   win::kOpenExisting, 0);
        if (handle == kInvalidHandle) continue;
        StoragePropertyQuery query;
        query.property_id = win::kStorageDeviceSeekPenaltyProperty;
        query.query_type = win::kPropertyStandardQuery;
        DeviceSeekPenaltyDescriptor descriptor;
        std::uint32_t returned = 0;
        platform.device_io_control(handle, win::kIoctlStorageQueryProperty, &query, sizeof query, &descriptor,
                                   sizeof descriptor, returned);
        platform.close_handle(handle);
    }
}

void make_request_platform_calls(Platform& platform, const NvmlBinding& nvml) {
    make_cpu_platform_calls(platform);
    make_memory_platform_calls(platform);
    make_gpu_platform_calls(platform, nvml);
    make_storage_platform_calls(platform);
}

}  // namespace mrv
