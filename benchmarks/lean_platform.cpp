#include "lean_platform.h"

#include <cstring>
#include <utility>

#include "machine_profiles/profile_answers.h"
#include "probes/nvml_api.h"

namespace mrv::bench {
namespace {

// Each kind of object in its own range; the low bits carry the index.
constexpr Handle kFactory = 0xF000;
constexpr Handle kAdapterBase = 0x10000;
constexpr Handle kAdapter3Base = 0x20000;
constexpr Handle kKeyBase = 0x30000;
constexpr Handle kFileBase = 0x40000;
constexpr Handle kNvmlModule = 0x4E564D4C;
constexpr Symbol kSymbolBase = 0x5000;
constexpr NvmlDevice kDeviceBase = 0xD0000;

const char* const kNvmlEntries[] = {nvml::kInitV2Name,          nvml::kShutdownName,
                                    nvml::kDeviceGetHandleByIndexName, nvml::kDeviceGetCountName,
                                    nvml::kDeviceGetPciInfoV3Name,     nvml::kDeviceGetMaxClockInfoName,
                                    nvml::kDeviceGetBusWidthName};

}  // namespace

LeanPlatform::LeanPlatform(MachineProfile profile) : profile_(std::move(profile)) {
    for (const auto& [path, key] : profile_.registry) {
        Key flat{path, key.open_status, {}};
        for (const auto& [name, value] : key.values) flat.values.push_back({name, &value});
        keys_.push_back(std::move(flat));
    }
    for (std::size_t i = 0; i < exported_.size(); ++i)
        exported_[i] = profile_.nvml.exports.count(kNvmlEntries[i]) != 0;
}

CpuidResult LeanPlatform::cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    const auto found = profile_.cpuid.find({leaf, subleaf});
    return found == profile_.cpuid.end() ? CpuidResult{} : found->second;
}

std::uint32_t LeanPlatform::get_system_info_number_of_processors() { return profile_.number_of_processors; }

bool LeanPlatform::get_logical_processor_information_ex(std::uint32_t, std::uint8_t* buffer,
                                                        std::uint32_t& length) {
    return answer_topology(profile_.topology, buffer, length, last_error_);
}

std::uint32_t LeanPlatform::get_last_error() { return last_error_; }

std::int32_t LeanPlatform::reg_open_key_ex(const char* sub_key, Handle& key) {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i].path != sub_key) continue;
        if (keys_[i].open_status != 0) return keys_[i].open_status;
        key = kKeyBase + i;
        return 0;
    }
    return static_cast<std::int32_t>(win::kErrorFileNotFound);
}

std::int32_t LeanPlatform::reg_query_value_ex(Handle key, const char* value_name, std::uint32_t& type,
                                              std::uint8_t* data, std::uint32_t& data_size) {
    for (const Value& value : keys_.at(key - kKeyBase).values) {
        if (value.name != value_name) continue;
        return answer_registry_value(*value.answer, type, data, data_size);
    }
    return static_cast<std::int32_t>(win::kErrorFileNotFound);
}

std::int32_t LeanPlatform::reg_close_key(Handle) { return 0; }

bool LeanPlatform::global_memory_status_ex(MemoryStatusEx& status) {
    if (!profile_.memory_status) return false;
    status = *profile_.memory_status;
    status.length = sizeof(MemoryStatusEx);
    return true;
}

std::int32_t LeanPlatform::create_dxgi_factory1_factory4(Handle& factory) {
    if (profile_.dxgi.factory_result != win::kSOk) return profile_.dxgi.factory_result;
    factory = kFactory;
    return win::kSOk;
}

std::int32_t LeanPlatform::enum_adapters1(Handle, std::uint32_t index, Handle& adapter) {
    if (index >= profile_.dxgi.adapters.size()) return win::kDxgiErrorNotFound;
    const AdapterAnswer& answer = profile_.dxgi.adapters[index];
    if (answer.enum_result != win::kSOk) return answer.enum_result;
    adapter = kAdapterBase + index;
    return win::kSOk;
}

std::int32_t LeanPlatform::get_desc1(Handle adapter, AdapterDesc1& desc) {
    const AdapterAnswer& answer = profile_.dxgi.adapters.at(adapter - kAdapterBase);
    if (answer.desc_result != win::kSOk) return answer.desc_result;
    desc = answer.desc;
    return win::kSOk;
}

std::int32_t LeanPlatform::query_interface_adapter3(Handle adapter, Handle& adapter3) {
    const std::size_t index = adapter - kAdapterBase;
    if (!profile_.dxgi.adapters.at(index).has_adapter3) return win::kENoInterface;
    adapter3 = kAdapter3Base + index;
    return win::kSOk;
}

std::int32_t LeanPlatform::query_video_memory_info(Handle adapter3, std::uint32_t node_index,
                                                   std::uint32_t segment_group, VideoMemoryInfo& info) {
    const AdapterAnswer& answer = profile_.dxgi.adapters.at(adapter3 - kAdapter3Base);
    if (answer.memory_info_result != win::kSOk) return answer.memory_info_result;
    if (node_index != 0 || segment_group != win::kDxgiMemorySegmentGroupLocal) return win::kEFail;
    info = answer.memory_info;
    return win::kSOk;
}

std::uint32_t LeanPlatform::release(Handle) { return 0; }

std::int32_t LeanPlatform::wide_char_to_multi_byte_utf8(const char16_t* wide, std::int32_t wide_length, char* out,
                                                        std::int32_t out_size) {
    return convert_utf16_to_utf8(wide, wide_length, out, out_size);
}

Handle LeanPlatform::load_library_ex_default_dirs(const char* name) {
    if (std::strcmp(name, nvml::kLibraryName) != 0 || !profile_.nvml.present) return 0;
    nvml_loaded_ = true;
    return kNvmlModule;
}

Handle LeanPlatform::get_module_handle(const char* name) {
    return std::strcmp(name, nvml::kLibraryName) == 0 && nvml_loaded_ ? kNvmlModule : 0;
}

Symbol LeanPlatform::get_proc_address(Handle module, const char* name) {
    if (module != kNvmlModule || !nvml_loaded_) return 0;
    for (std::size_t i = 0; i < exported_.size(); ++i)
        if (exported_[i] && std::strcmp(name, kNvmlEntries[i]) == 0) return kSymbolBase + i;
    return 0;
}

std::int32_t LeanPlatform::call_nvml_init_v2(Symbol) { return profile_.nvml.init_result; }

std::int32_t LeanPlatform::call_nvml_device_get_handle_by_index(Symbol, std::uint32_t index, NvmlDevice& device) {
    if (profile_.nvml.init_result != nvml::kSuccess) return nvml::kErrorUninitialized;
    const auto found = profile_.nvml.devices.find(index);
    if (found == profile_.nvml.devices.end()) return nvml::kErrorInvalidArgument;
    if (found->second.handle_result != nvml::kSuccess) return found->second.handle_result;
    device = kDeviceBase + index;
    return nvml::kSuccess;
}

std::int32_t LeanPlatform::call_nvml_device_get_count(Symbol, std::uint32_t& count) {
    if (profile_.nvml.count_result != nvml::kSuccess) return profile_.nvml.count_result;
    count = profile_.nvml.device_count;
    return nvml::kSuccess;
}

std::int32_t LeanPlatform::call_nvml_device_get_pci_info_v3(Symbol, NvmlDevice device, NvmlPciInfo& pci) {
    const NvmlDeviceAnswer& answer = profile_.nvml.devices.at(static_cast<std::uint32_t>(device - kDeviceBase));
    if (answer.pci_result != nvml::kSuccess) return answer.pci_result;
    pci.pci_device_id = answer.pci_device_id;
    pci.pci_sub_system_id = answer.pci_sub_system_id;
    return nvml::kSuccess;
}

// The library asks only for the maximum clock.
std::int32_t LeanPlatform::call_nvml_device_clock_query(Symbol, NvmlDevice device, std::uint32_t clock_type,
                                                        std::uint32_t& clock) {
    const NvmlDeviceAnswer& answer = profile_.nvml.devices.at(static_cast<std::uint32_t>(device - kDeviceBase));
    if (clock_type != nvml::kClockMem) return nvml::kErrorNotSupported;
    if (answer.max_clock_result != nvml::kSuccess) return answer.max_clock_result;
    clock = answer.max_memory_clock_mhz;
    return nvml::kSuccess;
}

std::int32_t LeanPlatform::call_nvml_device_get_bus_width(Symbol, NvmlDevice device, std::uint32_t& bus_width) {
    const NvmlDeviceAnswer& answer = profile_.nvml.devices.at(static_cast<std::uint32_t>(device - kDeviceBase));
    if (answer.bus_width_result != nvml::kSuccess) return answer.bus_width_result;
    bus_width = answer.bus_width_bits;
    return nvml::kSuccess;
}

const DriveAnswer* LeanPlatform::drive(char letter) const {
    const auto found = profile_.drives.find(letter);
    return found == profile_.drives.end() ? nullptr : &found->second;
}

std::uint32_t LeanPlatform::get_logical_drives() { return profile_.logical_drives; }

std::uint32_t LeanPlatform::get_drive_type(const char* root) {
    const DriveAnswer* answer = drive(drive_root_letter(root));
    return answer == nullptr ? win::kDriveNoRootDir : answer->type;
}

bool LeanPlatform::get_disk_free_space_ex(const char* root, std::uint64_t& free_to_caller, std::uint64_t& total) {
    const DriveAnswer* answer = drive(drive_root_letter(root));
    if (answer == nullptr || !answer->free_space_ok) {
        last_error_ = win::kErrorFileNotFound;
        return false;
    }
    free_to_caller = answer->free_to_caller;
    total = answer->total;
    return true;
}

Handle LeanPlatform::create_file(const char* path, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
    const char letter = volume_path_letter(path);
    const DriveAnswer* answer = letter != 0 ? drive(letter) : nullptr;
    if (answer == nullptr || !answer->open_ok) {
        last_error_ = win::kErrorAccessDenied;
        return kInvalidHandle;
    }
    return kFileBase + static_cast<unsigned char>(letter);
}

bool LeanPlatform::device_io_control(Handle device, std::uint32_t control_code, const void* in, std::uint32_t in_size,
                                     void* out, std::uint32_t out_size, std::uint32_t& bytes_returned) {
    const DriveAnswer* answer = drive(static_cast<char>(device - kFileBase));
    if (answer == nullptr || control_code != win::kIoctlStorageQueryProperty || in == nullptr ||
        in_size < sizeof(StoragePropertyQuery) || out == nullptr || out_size < sizeof(DeviceSeekPenaltyDescriptor))
        return false;
    return answer_seek_penalty_query(*answer, in, out, bytes_returned);
}

bool LeanPlatform::close_handle(Handle) { return true; }

}  // namespace mrv::bench
