// The profile side of the seam without its bookkeeping: answers from a
// MachineProfile as ProfilePlatform does, but records no call and keeps no
// ledger, and allocates nothing per call, so that what a benchmark measures
// on it is the library's work and not the fake's.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "machine_profiles/machine_profile.h"
#include "platform/platform.h"

namespace mrv::bench {

class LeanPlatform final : public Platform {
public:
    explicit LeanPlatform(MachineProfile profile);

    CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override;
    std::uint32_t get_system_info_number_of_processors() override;
    bool get_logical_processor_information_ex(std::uint32_t relationship, std::uint8_t* buffer,
                                              std::uint32_t& length) override;
    std::uint32_t get_last_error() override;

    std::int32_t reg_open_key_ex(const char* sub_key, Handle& key) override;
    std::int32_t reg_query_value_ex(Handle key, const char* value_name, std::uint32_t& type,
                                    std::uint8_t* data, std::uint32_t& data_size) override;
    std::int32_t reg_close_key(Handle key) override;

    bool global_memory_status_ex(MemoryStatusEx& status) override;

    std::int32_t create_dxgi_factory1_factory4(Handle& factory) override;
    std::int32_t enum_adapters1(Handle factory, std::uint32_t index, Handle& adapter) override;
    std::int32_t get_desc1(Handle adapter, AdapterDesc1& desc) override;
    std::int32_t query_interface_adapter3(Handle adapter, Handle& adapter3) override;
    std::int32_t query_video_memory_info(Handle adapter3, std::uint32_t node_index, std::uint32_t segment_group,
                                         VideoMemoryInfo& info) override;
    std::uint32_t release(Handle object) override;

    std::int32_t wide_char_to_multi_byte_utf8(const char16_t* wide, std::int32_t wide_length, char* out,
                                              std::int32_t out_size) override;

    Handle load_library_ex_default_dirs(const char* name) override;
    Handle get_module_handle(const char* name) override;
    Symbol get_proc_address(Handle module, const char* name) override;

    std::int32_t call_nvml_init_v2(Symbol entry) override;
    std::int32_t call_nvml_device_get_handle_by_index(Symbol entry, std::uint32_t index,
                                                      NvmlDevice& device) override;
    std::int32_t call_nvml_device_get_count(Symbol entry, std::uint32_t& count) override;
    std::int32_t call_nvml_device_get_pci_info_v3(Symbol entry, NvmlDevice device, NvmlPciInfo& pci) override;
    std::int32_t call_nvml_device_clock_query(Symbol entry, NvmlDevice device, std::uint32_t clock_type,
                                              std::uint32_t& clock) override;
    std::int32_t call_nvml_device_get_bus_width(Symbol entry, NvmlDevice device,
                                                std::uint32_t& bus_width) override;

    std::uint32_t get_logical_drives() override;
    std::uint32_t get_drive_type(const char* root) override;
    bool get_disk_free_space_ex(const char* root, std::uint64_t& free_to_caller, std::uint64_t& total) override;
    Handle create_file(const char* path, std::uint32_t desired_access, std::uint32_t share_mode,
                       std::uint32_t creation_disposition, std::uint32_t flags) override;
    bool device_io_control(Handle device, std::uint32_t control_code, const void* in, std::uint32_t in_size,
                           void* out, std::uint32_t out_size, std::uint32_t& bytes_returned) override;
    bool close_handle(Handle handle) override;

private:
    // The registry flattened, so that a lookup by a C string builds no std::string.
    struct Value {
        std::string name;
        const RegistryValue* answer;
    };
    struct Key {
        std::string path;
        std::int32_t open_status;
        std::vector<Value> values;
    };

    const DriveAnswer* drive(char letter) const;

    MachineProfile profile_;
    std::vector<Key> keys_;
    std::array<bool, 7> exported_{};  // by position in the NVML entry-point list
    bool nvml_loaded_ = false;
    std::uint32_t last_error_ = 0;
};

}  // namespace mrv::bench
