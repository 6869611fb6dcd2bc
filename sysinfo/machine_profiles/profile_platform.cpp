#include "machine_profiles/profile_platform.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "machine_profiles/profile_answers.h"

namespace mrv {
namespace {

constexpr Handle kNvmlModule = 0x4E564D4C;  // "NVML"
constexpr NvmlDevice kDeviceBase = 0xD0000;

std::string hex(std::uint32_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "0x";
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const unsigned nibble = (value >> shift) & 0xF;
        if (nibble != 0 || started || shift == 0) {
            text += digits[nibble];
            started = true;
        }
    }
    return text;
}

}  // namespace

ProfilePlatform::ProfilePlatform(MachineProfile profile) : profile_(std::move(profile)) {}

void ProfilePlatform::record(std::string call) { calls_.push_back(std::move(call)); }

void ProfilePlatform::violation(std::string what) { violations_.push_back(std::move(what)); }

Handle ProfilePlatform::acquire(ResourceKind kind, std::string target) {
    const Handle handle = next_handle_;
    next_handle_ += 0x10;
    objects_[handle] = Object{kind, std::move(target), true};
    ++counts_[kind].acquired;
    return handle;
}

const ProfilePlatform::Object* ProfilePlatform::use(Handle handle, ResourceKind kind, const char* call) {
    const auto found = objects_.find(handle);
    if (found == objects_.end() || found->second.kind != kind) {
        violation(std::string(call) + ": unknown handle");
        return nullptr;
    }
    if (!found->second.live) {
        violation(std::string(call) + ": used after release");
        return nullptr;
    }
    return &found->second;
}

bool ProfilePlatform::finish(Handle handle, ResourceKind kind, const char* call) {
    const auto found = objects_.find(handle);
    if (found == objects_.end() || found->second.kind != kind) {
        violation(std::string(call) + ": unknown handle");
        return false;
    }
    if (!found->second.live) {
        violation(std::string(call) + ": released twice");
        return false;
    }
    found->second.live = false;
    ++counts_[kind].released;
    return true;
}

LedgerCounts ProfilePlatform::counts(ResourceKind kind) const {
    const auto found = counts_.find(kind);
    return found == counts_.end() ? LedgerCounts{} : found->second;
}

std::size_t ProfilePlatform::live_objects() const {
    return static_cast<std::size_t>(
        std::count_if(objects_.begin(), objects_.end(), [](const auto& entry) { return entry.second.live; }));
}

bool ProfilePlatform::all_released() const { return live_objects() == 0 && violations_.empty(); }

CpuidResult ProfilePlatform::cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    record("cpuid(" + hex(leaf) + "," + std::to_string(subleaf) + ")");
    const auto found = profile_.cpuid.find({leaf, subleaf});
    return found == profile_.cpuid.end() ? CpuidResult{} : found->second;
}

std::uint32_t ProfilePlatform::get_system_info_number_of_processors() {
    record("GetSystemInfo()");
    return profile_.number_of_processors;
}

bool ProfilePlatform::get_logical_processor_information_ex(std::uint32_t relationship, std::uint8_t* buffer,
                                                           std::uint32_t& length) {
    record("GetLogicalProcessorInformationEx(" + std::to_string(relationship) + "," +
           std::to_string(length) + ")");
    const TopologyAnswer& topology = profile_.topology;
    if (relationship != win::kRelationProcessorCore) violation("GetLogicalProcessorInformationEx: relationship");
    return answer_topology(topology, buffer, length, last_error_);
}

std::uint32_t ProfilePlatform::get_last_error() {
    record("GetLastError()");
    return last_error_;
}

std::int32_t ProfilePlatform::reg_open_key_ex(const char* sub_key, Handle& key) {
    record(std::string("RegOpenKeyExA(") + sub_key + ")");
    const auto found = profile_.registry.find(sub_key);
    if (found == profile_.registry.end()) return static_cast<std::int32_t>(win::kErrorFileNotFound);
    if (found->second.open_status != 0) return found->second.open_status;
    key = acquire(ResourceKind::RegistryKey, sub_key);
    return 0;
}

std::int32_t ProfilePlatform::reg_query_value_ex(Handle key, const char* value_name, std::uint32_t& type,
                                                 std::uint8_t* data, std::uint32_t& data_size) {
    record(std::string("RegQueryValueExA(") + value_name + "," + std::to_string(data_size) + ")");
    const Object* object = use(key, ResourceKind::RegistryKey, "RegQueryValueExA");
    if (object == nullptr) return static_cast<std::int32_t>(win::kErrorFileNotFound);
    const auto& values = profile_.registry.at(object->target).values;
    const auto found = values.find(value_name);
    if (found == values.end()) return static_cast<std::int32_t>(win::kErrorFileNotFound);
    return answer_registry_value(found->second, type, data, data_size);
}

std::int32_t ProfilePlatform::reg_close_key(Handle key) {
    record("RegCloseKey()");
    return finish(key, ResourceKind::RegistryKey, "RegCloseKey") ? 0 : 6;  // ERROR_INVALID_HANDLE
}

bool ProfilePlatform::global_memory_status_ex(MemoryStatusEx& status) {
    record("GlobalMemoryStatusEx(" + std::to_string(status.length) + ")");
    if (status.length != sizeof(MemoryStatusEx)) {
        violation("GlobalMemoryStatusEx: dwLength is not 64");
        return false;
    }
    if (!profile_.memory_status) return false;
    status = *profile_.memory_status;
    status.length = sizeof(MemoryStatusEx);
    return true;
}

std::int32_t ProfilePlatform::create_dxgi_factory1_factory4(Handle& factory) {
    record("CreateDXGIFactory1(IDXGIFactory4)");
    // A success code other than S_OK (S_FALSE) still hands out a factory.
    if (profile_.dxgi.factory_result < 0) return profile_.dxgi.factory_result;
    factory = acquire(ResourceKind::DxgiFactory, "factory");
    return profile_.dxgi.factory_result;
}

std::int32_t ProfilePlatform::enum_adapters1(Handle factory, std::uint32_t index, Handle& adapter) {
    record("EnumAdapters1(" + std::to_string(index) + ")");
    if (use(factory, ResourceKind::DxgiFactory, "EnumAdapters1") == nullptr) return win::kEFail;
    if (index >= profile_.dxgi.adapters.size()) return win::kDxgiErrorNotFound;
    const AdapterAnswer& answer = profile_.dxgi.adapters[index];
    if (answer.enum_result != win::kSOk) return answer.enum_result;
    adapter = acquire(ResourceKind::DxgiAdapter, std::to_string(index));
    return win::kSOk;
}

std::int32_t ProfilePlatform::get_desc1(Handle adapter, AdapterDesc1& desc) {
    record("GetDesc1()");
    const Object* object = use(adapter, ResourceKind::DxgiAdapter, "GetDesc1");
    if (object == nullptr) return win::kEFail;
    const AdapterAnswer& answer = profile_.dxgi.adapters.at(std::stoul(object->target));
    if (answer.desc_result != win::kSOk) return answer.desc_result;
    desc = answer.desc;
    return win::kSOk;
}

std::int32_t ProfilePlatform::query_interface_adapter3(Handle adapter, Handle& adapter3) {
    record("QueryInterface(IDXGIAdapter3)");
    const Object* object = use(adapter, ResourceKind::DxgiAdapter, "QueryInterface");
    if (object == nullptr) return win::kEFail;
    const std::string target = object->target;
    if (!profile_.dxgi.adapters.at(std::stoul(target)).has_adapter3) return win::kENoInterface;
    adapter3 = acquire(ResourceKind::DxgiAdapter3, target);
    return win::kSOk;
}

std::int32_t ProfilePlatform::query_video_memory_info(Handle adapter3, std::uint32_t node_index,
                                                      std::uint32_t segment_group, VideoMemoryInfo& info) {
    record("QueryVideoMemoryInfo(" + std::to_string(node_index) + "," + std::to_string(segment_group) + ")");
    const Object* object = use(adapter3, ResourceKind::DxgiAdapter3, "QueryVideoMemoryInfo");
    if (object == nullptr) return win::kEFail;
    const AdapterAnswer& answer = profile_.dxgi.adapters.at(std::stoul(object->target));
    if (answer.memory_info_result != win::kSOk) return answer.memory_info_result;
    if (node_index != 0 || segment_group != win::kDxgiMemorySegmentGroupLocal) return win::kEFail;
    info = answer.memory_info;
    return win::kSOk;
}

std::uint32_t ProfilePlatform::release(Handle object) {
    record("Release()");
    const auto found = objects_.find(object);
    if (found == objects_.end() || found->second.kind == ResourceKind::RegistryKey ||
        found->second.kind == ResourceKind::File) {
        violation("Release: unknown object");
        return 0;
    }
    finish(object, found->second.kind, "Release");
    return 0;
}

std::int32_t ProfilePlatform::wide_char_to_multi_byte_utf8(const char16_t* wide, std::int32_t wide_length,
                                                           char* out, std::int32_t out_size) {
    record("WideCharToMultiByte(" + std::to_string(wide_length) + "," + std::to_string(out_size) + ")");
    return convert_utf16_to_utf8(wide, wide_length, out, out_size);
}

Handle ProfilePlatform::load_library_ex_default_dirs(const char* name) {
    record(std::string("LoadLibraryExA(") + name + ")");
    if (std::strcmp(name, "nvml.dll") != 0 || !profile_.nvml.present) return 0;
    nvml_loaded_ = true;
    return kNvmlModule;
}

Handle ProfilePlatform::get_module_handle(const char* name) {
    record(std::string("GetModuleHandleA(") + name + ")");
    return std::strcmp(name, "nvml.dll") == 0 && nvml_loaded_ ? kNvmlModule : 0;
}

Symbol ProfilePlatform::get_proc_address(Handle module, const char* name) {
    record(std::string("GetProcAddress(") + name + ")");
    if (module != kNvmlModule || !nvml_loaded_) {
        violation("GetProcAddress: module not loaded");
        return 0;
    }
    if (profile_.nvml.exports.count(name) == 0) return 0;
    const Symbol symbol = 0x5000 + symbols_.size() * 0x10;
    for (const auto& known : symbols_)
        if (known.second == name) return known.first;
    symbols_[symbol] = name;
    return symbol;
}

std::string ProfilePlatform::symbol_name(Symbol entry, const char* expected) {
    const auto found = symbols_.find(entry);
    if (found == symbols_.end() || found->second != expected) {
        violation(std::string(expected) + ": called through a wrong entry point");
        return {};
    }
    return found->second;
}

const NvmlDeviceAnswer* ProfilePlatform::device(NvmlDevice handle, const char* call) {
    const auto found = profile_.nvml.devices.find(static_cast<std::uint32_t>(handle - kDeviceBase));
    if (handle < kDeviceBase || found == profile_.nvml.devices.end()) {
        violation(std::string(call) + ": unknown device handle");
        return nullptr;
    }
    return &found->second;
}

std::int32_t ProfilePlatform::call_nvml_init_v2(Symbol entry) {
    record("nvmlInit_v2()");
    if (symbol_name(entry, "nvmlInit_v2").empty()) return nvml::kErrorUnknown;
    return profile_.nvml.init_result;
}

std::int32_t ProfilePlatform::call_nvml_device_get_handle_by_index(Symbol entry, std::uint32_t index,
                                                                   NvmlDevice& device_handle) {
    record("nvmlDeviceGetHandleByIndex(" + std::to_string(index) + ")");
    if (symbol_name(entry, "nvmlDeviceGetHandleByIndex").empty()) return nvml::kErrorUnknown;
    if (profile_.nvml.init_result != nvml::kSuccess) return nvml::kErrorUninitialized;
    const auto found = profile_.nvml.devices.find(index);
    if (found == profile_.nvml.devices.end()) return nvml::kErrorInvalidArgument;
    if (found->second.handle_result != nvml::kSuccess) return found->second.handle_result;
    device_handle = kDeviceBase + index;
    return nvml::kSuccess;
}

std::int32_t ProfilePlatform::call_nvml_device_get_count(Symbol entry, std::uint32_t& count) {
    record("nvmlDeviceGetCount()");
    if (symbol_name(entry, "nvmlDeviceGetCount").empty()) return nvml::kErrorUnknown;
    if (profile_.nvml.init_result != nvml::kSuccess) return nvml::kErrorUninitialized;
    if (profile_.nvml.count_result != nvml::kSuccess) return profile_.nvml.count_result;
    count = profile_.nvml.device_count;
    return nvml::kSuccess;
}

std::int32_t ProfilePlatform::call_nvml_device_get_pci_info_v3(Symbol entry, NvmlDevice device_handle,
                                                               NvmlPciInfo& pci) {
    record("nvmlDeviceGetPciInfo_v3()");
    if (symbol_name(entry, "nvmlDeviceGetPciInfo_v3").empty()) return nvml::kErrorUnknown;
    const NvmlDeviceAnswer* answer = device(device_handle, "nvmlDeviceGetPciInfo_v3");
    if (answer == nullptr) return nvml::kErrorInvalidArgument;
    if (answer->pci_result != nvml::kSuccess) return answer->pci_result;
    pci.pci_device_id = answer->pci_device_id;
    pci.pci_sub_system_id = answer->pci_sub_system_id;
    return nvml::kSuccess;
}

// The current or the maximum clock, by the entry point it is called through.
std::int32_t ProfilePlatform::call_nvml_device_clock_query(Symbol entry, NvmlDevice device_handle,
                                                           std::uint32_t clock_type, std::uint32_t& clock) {
    const auto found = symbols_.find(entry);
    const bool maximum = found != symbols_.end() && found->second == "nvmlDeviceGetMaxClockInfo";
    const char* name = maximum ? "nvmlDeviceGetMaxClockInfo" : "nvmlDeviceGetClockInfo";
    record(std::string(name) + "(" + std::to_string(clock_type) + ")");
    if (symbol_name(entry, name).empty()) return nvml::kErrorUnknown;
    const NvmlDeviceAnswer* answer = device(device_handle, name);
    if (answer == nullptr) return nvml::kErrorInvalidArgument;
    if (clock_type != nvml::kClockMem) return nvml::kErrorNotSupported;
    const std::int32_t result = maximum ? answer->max_clock_result : answer->clock_result;
    if (result != nvml::kSuccess) return result;
    clock = maximum ? answer->max_memory_clock_mhz : answer->memory_clock_mhz;
    return nvml::kSuccess;
}

std::int32_t ProfilePlatform::call_nvml_device_get_bus_width(Symbol entry, NvmlDevice device_handle,
                                                             std::uint32_t& bus_width) {
    record("nvmlDeviceGetBusWidth()");
    if (symbol_name(entry, "nvmlDeviceGetBusWidth").empty()) return nvml::kErrorUnknown;
    const NvmlDeviceAnswer* answer = device(device_handle, "nvmlDeviceGetBusWidth");
    if (answer == nullptr) return nvml::kErrorInvalidArgument;
    if (answer->bus_width_result != nvml::kSuccess) return answer->bus_width_result;
    bus_width = answer->bus_width_bits;
    return nvml::kSuccess;
}

std::uint32_t ProfilePlatform::get_logical_drives() {
    record("GetLogicalDrives()");
    return profile_.logical_drives;
}

std::uint32_t ProfilePlatform::get_drive_type(const char* root) {
    record(std::string("GetDriveTypeA(") + root + ")");
    const char letter = drive_root_letter(root);
    const auto found = profile_.drives.find(letter);
    return found == profile_.drives.end() ? win::kDriveNoRootDir : found->second.type;
}

bool ProfilePlatform::get_disk_free_space_ex(const char* root, std::uint64_t& free_to_caller,
                                             std::uint64_t& total) {
    record(std::string("GetDiskFreeSpaceExA(") + root + ")");
    const auto found = profile_.drives.find(drive_root_letter(root));
    if (found == profile_.drives.end() || !found->second.free_space_ok) {
        last_error_ = win::kErrorFileNotFound;
        return false;
    }
    free_to_caller = found->second.free_to_caller;
    total = found->second.total;
    return true;
}

Handle ProfilePlatform::create_file(const char* path, std::uint32_t desired_access, std::uint32_t share_mode,
                                    std::uint32_t creation_disposition, std::uint32_t flags) {
    record(std::string("CreateFileA(") + path + "," + std::to_string(desired_access) + "," +
           std::to_string(share_mode) + "," + std::to_string(creation_disposition) + "," +
           std::to_string(flags) + ")");
    const char letter = volume_path_letter(path);
    const auto found = letter != 0 ? profile_.drives.find(letter) : profile_.drives.end();
    if (found == profile_.drives.end() || !found->second.open_ok) {
        last_error_ = win::kErrorAccessDenied;
        return kInvalidHandle;
    }
    return acquire(ResourceKind::File, std::string(1, letter));
}

bool ProfilePlatform::device_io_control(Handle device_handle, std::uint32_t control_code, const void* in,
                                        std::uint32_t in_size, void* out, std::uint32_t out_size,
                                        std::uint32_t& bytes_returned) {
    record("DeviceIoControl(" + hex(control_code) + "," + std::to_string(in_size) + "," +
           std::to_string(out_size) + ")");
    const Object* object = use(device_handle, ResourceKind::File, "DeviceIoControl");
    if (object == nullptr) return false;
    const DriveAnswer& answer = profile_.drives.at(object->target[0]);
    if (control_code != win::kIoctlStorageQueryProperty || in == nullptr ||
        in_size < sizeof(StoragePropertyQuery) || out == nullptr ||
        out_size < sizeof(DeviceSeekPenaltyDescriptor)) {
        violation("DeviceIoControl: unexpected request");
        return false;
    }
    return answer_seek_penalty_query(answer, in, out, bytes_returned);
}

bool ProfilePlatform::close_handle(Handle handle) {
    record("CloseHandle()");
    return finish(handle, ResourceKind::File, "CloseHandle");
}

}  // namespace mrv
