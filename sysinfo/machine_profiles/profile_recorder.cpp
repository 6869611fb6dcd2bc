#include "machine_profiles/profile_recorder.h"

#include <cstring>
#include <utility>

#include "probes/nvml_api.h"

namespace mrv {
namespace {

constexpr char kNvmlLibrary[] = "nvml.dll";
constexpr char kNvmlCurrentClockEntry[] = "nvmlDeviceGetClockInfo";

// "C:\" gives 'C'; anything else gives 0.
char root_letter(const char* root) {
    if (root == nullptr || std::strlen(root) != 3 || root[1] != ':' || root[2] != '\\') return 0;
    return root[0] >= 'A' && root[0] <= 'Z' ? root[0] : 0;
}

// "\\.\C:" gives 'C'; anything else gives 0.
char device_letter(const char* path) {
    if (path == nullptr || std::strlen(path) != 6 || std::strncmp(path, "\\\\.\\", 4) != 0 || path[5] != ':') return 0;
    return path[4] >= 'A' && path[4] <= 'Z' ? path[4] : 0;
}

bool succeeded(std::int32_t result) { return result >= 0; }  // SUCCEEDED(hr)

constexpr std::uint32_t kUnknownFailure = 31;  // ERROR_GEN_FAILURE

// A failure whose last error reads as 0 must still replay as a failure.
std::uint32_t failure_code(std::uint32_t last_error) { return last_error != 0 ? last_error : kUnknownFailure; }

}  // namespace

RecordingPlatform::RecordingPlatform(Platform& inner, std::string origin) : inner_(inner) {
    profile_.source = std::move(origin);
    profile_.nvml.exports.clear();  // only what the machine is seen to export
}

CpuidResult RecordingPlatform::cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    const CpuidResult result = inner_.cpuid(leaf, subleaf);
    profile_.cpuid[{leaf, subleaf}] = result;
    return result;
}

std::uint32_t RecordingPlatform::get_system_info_number_of_processors() {
    profile_.number_of_processors = inner_.get_system_info_number_of_processors();
    return profile_.number_of_processors;
}

// The profile answers a size query from the buffer's length, so a failed
// fill keeps zeros of the size announced before. Why a call failed is known
// only from the GetLastError the caller makes next; the recorder makes no
// call of its own, so until then the failure is kept as the likeliest one.
bool RecordingPlatform::get_logical_processor_information_ex(std::uint32_t relationship, std::uint8_t* buffer,
                                                             std::uint32_t& length) {
    const std::uint32_t offered = length;
    const bool ok = inner_.get_logical_processor_information_ex(relationship, buffer, length);
    pending_topology_ = PendingTopology::None;
    if (relationship != win::kRelationProcessorCore) return ok;

    TopologyAnswer& topology = profile_.topology;
    const bool filling = buffer != nullptr && offered > 0;
    if (ok) {
        topology.buffer.assign(buffer, buffer + (filling ? length : 0));
        topology.size_query_error = 0;
        topology.fill_error = 0;
    } else if (!filling) {
        topology.buffer.assign(length, 0);
        topology.size_query_error = 0;
        pending_topology_ = PendingTopology::SizeQuery;
    } else {
        topology.buffer.resize(offered);
        topology.fill_error = kUnknownFailure;
        pending_topology_ = PendingTopology::Fill;
    }
    return ok;
}

std::uint32_t RecordingPlatform::get_last_error() {
    const std::uint32_t error = inner_.get_last_error();
    TopologyAnswer& topology = profile_.topology;
    if (pending_topology_ == PendingTopology::SizeQuery && error != win::kErrorInsufficientBuffer)
        topology.size_query_error = failure_code(error);
    else if (pending_topology_ == PendingTopology::Fill)
        topology.fill_error = failure_code(error);
    pending_topology_ = PendingTopology::None;
    return error;
}

std::int32_t RecordingPlatform::reg_open_key_ex(const char* sub_key, Handle& key) {
    const std::int32_t status = inner_.reg_open_key_ex(sub_key, key);
    profile_.registry[sub_key].open_status = status;
    if (status == 0) registry_keys_[key] = sub_key;
    return status;
}

// A query that fails for another reason than a missing value or a short
// buffer is kept as a missing value: both read as failures.
std::int32_t RecordingPlatform::reg_query_value_ex(Handle key, const char* value_name, std::uint32_t& type,
                                                   std::uint8_t* data, std::uint32_t& data_size) {
    const std::int32_t status = inner_.reg_query_value_ex(key, value_name, type, data, data_size);
    const auto opened = registry_keys_.find(key);
    if (opened == registry_keys_.end()) return status;
    auto& values = profile_.registry[opened->second].values;
    if (status == 0 && data != nullptr) {
        values[value_name] = {type, std::vector<std::uint8_t>(data, data + data_size)};
    } else if ((status == 0 && data == nullptr) || status == static_cast<std::int32_t>(win::kErrorMoreData)) {
        RegistryValue& value = values[value_name];
        value.type = type;
        if (value.data.size() != data_size) value.data.assign(data_size, 0);
    } else {
        values.erase(value_name);
    }
    return status;
}

std::int32_t RecordingPlatform::reg_close_key(Handle key) {
    registry_keys_.erase(key);
    return inner_.reg_close_key(key);
}

bool RecordingPlatform::global_memory_status_ex(MemoryStatusEx& status) {
    const bool ok = inner_.global_memory_status_ex(status);
    if (ok)
        profile_.memory_status = status;
    else
        profile_.memory_status.reset();
    return ok;
}

std::int32_t RecordingPlatform::create_dxgi_factory1_factory4(Handle& factory) {
    const std::int32_t result = inner_.create_dxgi_factory1_factory4(factory);
    profile_.dxgi.factory_result = result;
    profile_.dxgi.adapters.clear();
    adapters_.clear();
    adapters3_.clear();
    return result;
}

std::int32_t RecordingPlatform::enum_adapters1(Handle factory, std::uint32_t index, Handle& adapter) {
    const std::int32_t result = inner_.enum_adapters1(factory, index, adapter);
    auto& adapters = profile_.dxgi.adapters;
    if (result == win::kDxgiErrorNotFound) {
        adapters.resize(index);
        return result;
    }
    if (adapters.size() <= index) adapters.resize(index + 1);
    adapters[index].enum_result = result;
    if (succeeded(result)) adapters_[adapter] = index;
    return result;
}

AdapterAnswer* RecordingPlatform::adapter_at(const std::map<Handle, std::size_t>& handles, Handle handle) {
    const auto found = handles.find(handle);
    if (found == handles.end() || found->second >= profile_.dxgi.adapters.size()) return nullptr;
    return &profile_.dxgi.adapters[found->second];
}

std::int32_t RecordingPlatform::get_desc1(Handle adapter, AdapterDesc1& desc) {
    const std::int32_t result = inner_.get_desc1(adapter, desc);
    if (AdapterAnswer* answer = adapter_at(adapters_, adapter)) {
        answer->desc_result = result;
        if (succeeded(result)) answer->desc = desc;
    }
    return result;
}

std::int32_t RecordingPlatform::query_interface_adapter3(Handle adapter, Handle& adapter3) {
    const std::int32_t result = inner_.query_interface_adapter3(adapter, adapter3);
    const auto found = adapters_.find(adapter);
    if (AdapterAnswer* answer = adapter_at(adapters_, adapter)) {
        answer->has_adapter3 = succeeded(result) && adapter3 != 0;
        if (answer->has_adapter3) adapters3_[adapter3] = found->second;
    }
    return result;
}

std::int32_t RecordingPlatform::query_video_memory_info(Handle adapter3, std::uint32_t node_index,
                                                        std::uint32_t segment_group, VideoMemoryInfo& info) {
    const std::int32_t result = inner_.query_video_memory_info(adapter3, node_index, segment_group, info);
    AdapterAnswer* answer = adapter_at(adapters3_, adapter3);
    if (answer != nullptr && node_index == 0 && segment_group == win::kDxgiMemorySegmentGroupLocal) {
        answer->memory_info_result = result;
        if (result == win::kSOk) answer->memory_info = info;
    }
    return result;
}

std::uint32_t RecordingPlatform::release(Handle object) {
    adapters_.erase(object);
    adapters3_.erase(object);
    return inner_.release(object);
}

std::int32_t RecordingPlatform::wide_char_to_multi_byte_utf8(const char16_t* wide, std::int32_t wide_length,
                                                             char* out, std::int32_t out_size) {
    return inner_.wide_char_to_multi_byte_utf8(wide, wide_length, out, out_size);
}

Handle RecordingPlatform::load_library_ex_default_dirs(const char* name) {
    const Handle module = inner_.load_library_ex_default_dirs(name);
    if (std::strcmp(name, kNvmlLibrary) == 0) {
        profile_.nvml.present = module != 0;
        profile_.nvml.exports.clear();
        nvml_module_ = module;
    }
    return module;
}

Handle RecordingPlatform::get_module_handle(const char* name) { return inner_.get_module_handle(name); }

Symbol RecordingPlatform::get_proc_address(Handle module, const char* name) {
    const Symbol symbol = inner_.get_proc_address(module, name);
    if (module != 0 && module == nvml_module_) {
        if (symbol != 0) {
            profile_.nvml.exports.insert(name);
            nvml_entries_[symbol] = name;
        } else {
            profile_.nvml.exports.erase(name);
        }
    }
    return symbol;
}

std::int32_t RecordingPlatform::call_nvml_init_v2(Symbol entry) {
    profile_.nvml.init_result = inner_.call_nvml_init_v2(entry);
    return profile_.nvml.init_result;
}

std::int32_t RecordingPlatform::call_nvml_device_get_handle_by_index(Symbol entry, std::uint32_t index,
                                                                     NvmlDevice& device) {
    const std::int32_t result = inner_.call_nvml_device_get_handle_by_index(entry, index, device);
    profile_.nvml.devices[index].handle_result = result;
    if (result == nvml::kSuccess) nvml_devices_[device] = index;
    return result;
}

NvmlDeviceAnswer* RecordingPlatform::nvml_device_of(NvmlDevice device) {
    const auto found = nvml_devices_.find(device);
    return found == nvml_devices_.end() ? nullptr : &profile_.nvml.devices[found->second];
}

std::int32_t RecordingPlatform::call_nvml_device_get_count(Symbol entry, std::uint32_t& count) {
    const std::int32_t result = inner_.call_nvml_device_get_count(entry, count);
    profile_.nvml.count_result = result;
    if (result == nvml::kSuccess) profile_.nvml.device_count = count;
    return result;
}

std::int32_t RecordingPlatform::call_nvml_device_get_pci_info_v3(Symbol entry, NvmlDevice device, NvmlPciInfo& pci) {
    const std::int32_t result = inner_.call_nvml_device_get_pci_info_v3(entry, device, pci);
    if (NvmlDeviceAnswer* answer = nvml_device_of(device)) {
        answer->pci_result = result;
        if (result == nvml::kSuccess) {
            answer->pci_device_id = pci.pci_device_id;
            answer->pci_sub_system_id = pci.pci_sub_system_id;
        }
    }
    return result;
}

std::int32_t RecordingPlatform::call_nvml_device_clock_query(Symbol entry, NvmlDevice device,
                                                             std::uint32_t clock_type, std::uint32_t& clock) {
    const std::int32_t result = inner_.call_nvml_device_clock_query(entry, device, clock_type, clock);
    NvmlDeviceAnswer* answer = nvml_device_of(device);
    const auto entry_name = nvml_entries_.find(entry);
    if (answer == nullptr || clock_type != nvml::kClockMem || entry_name == nvml_entries_.end()) return result;
    if (entry_name->second == nvml::kDeviceGetMaxClockInfoName) {
        answer->max_clock_result = result;
        if (result == nvml::kSuccess) answer->max_memory_clock_mhz = clock;
    } else if (entry_name->second == kNvmlCurrentClockEntry) {
        answer->clock_result = result;
        if (result == nvml::kSuccess) answer->memory_clock_mhz = clock;
    }
    return result;
}

std::int32_t RecordingPlatform::call_nvml_device_get_bus_width(Symbol entry, NvmlDevice device,
                                                               std::uint32_t& bus_width) {
    const std::int32_t result = inner_.call_nvml_device_get_bus_width(entry, device, bus_width);
    if (NvmlDeviceAnswer* answer = nvml_device_of(device)) {
        answer->bus_width_result = result;
        if (result == nvml::kSuccess) answer->bus_width_bits = bus_width;
    }
    return result;
}

std::uint32_t RecordingPlatform::get_logical_drives() {
    profile_.logical_drives = inner_.get_logical_drives();
    return profile_.logical_drives;
}

std::uint32_t RecordingPlatform::get_drive_type(const char* root) {
    const std::uint32_t type = inner_.get_drive_type(root);
    if (const char letter = root_letter(root)) profile_.drives[letter].type = type;
    return type;
}

bool RecordingPlatform::get_disk_free_space_ex(const char* root, std::uint64_t& free_to_caller,
                                               std::uint64_t& total) {
    const bool ok = inner_.get_disk_free_space_ex(root, free_to_caller, total);
    if (const char letter = root_letter(root)) {
        DriveAnswer& drive = profile_.drives[letter];
        drive.free_space_ok = ok;
        drive.free_to_caller = ok ? free_to_caller : 0;
        drive.total = ok ? total : 0;
    }
    return ok;
}

Handle RecordingPlatform::create_file(const char* path, std::uint32_t desired_access, std::uint32_t share_mode,
                                      std::uint32_t creation_disposition, std::uint32_t flags) {
    const Handle handle = inner_.create_file(path, desired_access, share_mode, creation_disposition, flags);
    if (const char letter = device_letter(path)) {
        profile_.drives[letter].open_ok = handle != kInvalidHandle;
        if (handle != kInvalidHandle) files_[handle] = letter;
    }
    return handle;
}

bool RecordingPlatform::device_io_control(Handle device, std::uint32_t control_code, const void* in,
                                          std::uint32_t in_size, void* out, std::uint32_t out_size,
                                          std::uint32_t& bytes_returned) {
    const bool ok = inner_.device_io_control(device, control_code, in, in_size, out, out_size, bytes_returned);
    const auto file = files_.find(device);
    if (file == files_.end() || control_code != win::kIoctlStorageQueryProperty || in == nullptr ||
        in_size < sizeof(StoragePropertyQuery))
        return ok;
    StoragePropertyQuery query;
    std::memcpy(&query, in, sizeof query);
    if (query.property_id != win::kStorageDeviceSeekPenaltyProperty ||
        query.query_type != win::kPropertyStandardQuery)
        return ok;
    DriveAnswer& drive = profile_.drives[file->second];
    drive.ioctl_ok = ok && out != nullptr && out_size >= sizeof(DeviceSeekPenaltyDescriptor);
    if (drive.ioctl_ok) {
        DeviceSeekPenaltyDescriptor descriptor;
        std::memcpy(&descriptor, out, sizeof descriptor);
        drive.incurs_seek_penalty = descriptor.incurs_seek_penalty != 0;
    }
    return ok;
}

bool RecordingPlatform::close_handle(Handle handle) {
    files_.erase(handle);
    return inner_.close_handle(handle);
}

}  // namespace mrv
