// The profile side of the seam: answers every call from a MachineProfile the
// way Windows would, and keeps a ledger of what was acquired and released so
// tests can prove that every object is released once and never used after.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "machine_profiles/machine_profile.h"
#include "platform/platform.h"

namespace mrv {

enum class ResourceKind { RegistryKey, DxgiFactory, DxgiAdapter, DxgiAdapter3, File };

struct LedgerCounts {
    std::size_t acquired = 0;
    std::size_t released = 0;
};

class ProfilePlatform final : public Platform {
public:
    explicit ProfilePlatform(MachineProfile profile);

    const MachineProfile& profile() const { return profile_; }

    // Every call in order, as "Name(arguments)".
    const std::vector<std::string>& calls() const { return calls_; }
    // Misuse seen: double release, use after release, unknown handles, bad arguments.
    const std::vector<std::string>& violations() const { return violations_; }
    LedgerCounts counts(ResourceKind kind) const;
    // True when every object acquired has been released exactly once.
    bool all_released() const;
    std::size_t live_objects() const;

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
    struct Object {
        ResourceKind kind;
        std::string target;  // registry path, drive letter, adapter index
        bool live = true;
    };

    void record(std::string call);
    void violation(std::string what);
    Handle acquire(ResourceKind kind, std::string target);
    // The object behind a handle if it is live and of the given kind; records a violation otherwise.
    const Object* use(Handle handle, ResourceKind kind, const char* call);
    bool finish(Handle handle, ResourceKind kind, const char* call);
    std::string symbol_name(Symbol entry, const char* expected);
    const NvmlDeviceAnswer* device(NvmlDevice handle, const char* call);

    MachineProfile profile_;
    std::vector<std::string> calls_;
    std::vector<std::string> violations_;
    std::map<Handle, Object> objects_;
    std::map<ResourceKind, LedgerCounts> counts_;
    Handle next_handle_ = 0x1000;
    std::uint32_t last_error_ = 0;
    bool nvml_loaded_ = false;
    std::map<Symbol, std::string> symbols_;
};

}  // namespace mrv
