// The one seam between the probes and the operating system. Every method is
// shaped after one platform call and answers in raw form (status codes, last
// errors, byte buffers, mirrored structures), so that decoding stays in the
// probes and is tested there. WindowsPlatform forwards to the real calls;
// ProfilePlatform answers from a recorded or hand-written machine profile.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mrv {

// Opaque platform objects: registry keys, COM objects, modules, file handles.
// 0 is "none"; kInvalidHandle is CreateFileA's INVALID_HANDLE_VALUE.
using Handle = std::uintptr_t;
using Symbol = std::uintptr_t;      // an entry point found by get_proc_address
using NvmlDevice = std::uintptr_t;  // nvmlDevice_t
constexpr Handle kInvalidHandle = ~static_cast<Handle>(0);

struct CpuidResult {
    std::uint32_t eax = 0;
    std::uint32_t ebx = 0;
    std::uint32_t ecx = 0;
    std::uint32_t edx = 0;
};

// Mirror of MEMORYSTATUSEX (64 bytes).
struct MemoryStatusEx {
    std::uint32_t length = 0;
    std::uint32_t memory_load = 0;
    std::uint64_t total_phys = 0;
    std::uint64_t avail_phys = 0;
    std::uint64_t total_page_file = 0;
    std::uint64_t avail_page_file = 0;
    std::uint64_t total_virtual = 0;
    std::uint64_t avail_virtual = 0;
    std::uint64_t avail_extended_virtual = 0;
};
static_assert(sizeof(MemoryStatusEx) == 64, "MEMORYSTATUSEX is 64 bytes");

// Mirror of DXGI_ADAPTER_DESC1 on 64-bit Windows.
struct AdapterDesc1 {
    char16_t description[128] = {};
    std::uint32_t vendor_id = 0;
    std::uint32_t device_id = 0;
    std::uint32_t sub_sys_id = 0;
    std::uint32_t revision = 0;
    std::uint64_t dedicated_video_memory = 0;
    std::uint64_t dedicated_system_memory = 0;
    std::uint64_t shared_system_memory = 0;
    std::uint32_t adapter_luid_low = 0;
    std::int32_t adapter_luid_high = 0;
    std::uint32_t flags = 0;
};

// Mirror of DXGI_QUERY_VIDEO_MEMORY_INFO.
struct VideoMemoryInfo {
    std::uint64_t budget = 0;
    std::uint64_t current_usage = 0;
    std::uint64_t available_for_reservation = 0;
    std::uint64_t current_reservation = 0;
};

// Mirror of STORAGE_PROPERTY_QUERY (12 bytes with its padding).
struct StoragePropertyQuery {
    std::uint32_t property_id = 0;
    std::uint32_t query_type = 0;
    std::uint8_t additional_parameters[4] = {};
};
static_assert(sizeof(StoragePropertyQuery) == 12, "STORAGE_PROPERTY_QUERY is 12 bytes");

// Mirror of DEVICE_SEEK_PENALTY_DESCRIPTOR (12 bytes with its padding).
struct DeviceSeekPenaltyDescriptor {
    std::uint32_t version = 0;
    std::uint32_t size = 0;
    std::uint8_t incurs_seek_penalty = 0;
    std::uint8_t padding[3] = {};
};
static_assert(sizeof(DeviceSeekPenaltyDescriptor) == 12, "DEVICE_SEEK_PENALTY_DESCRIPTOR is 12 bytes");

// Mirror of NVML's nvmlPciInfo_t as nvmlDeviceGetPciInfo_v3 fills it (68
// bytes). The two identifiers sit at the same offsets in every version.
struct NvmlPciInfo {
    char bus_id_legacy[16] = {};
    std::uint32_t domain = 0;
    std::uint32_t bus = 0;
    std::uint32_t device = 0;
    std::uint32_t pci_device_id = 0;      // device ID << 16 | vendor ID
    std::uint32_t pci_sub_system_id = 0;  // laid out as DXGI's SubSysId
    char bus_id[32] = {};
};
static_assert(sizeof(NvmlPciInfo) == 68, "nvmlPciInfo_t is 68 bytes");
static_assert(offsetof(NvmlPciInfo, pci_device_id) == 28 && offsetof(NvmlPciInfo, pci_sub_system_id) == 32,
              "nvmlPciInfo_t identifiers at bytes 28 and 32");

// Platform constants the probes compare against, with their SDK names.
namespace win {
constexpr std::int32_t kSOk = 0;                                        // S_OK
constexpr std::int32_t kDxgiErrorNotFound = static_cast<std::int32_t>(0x887A0002u);  // DXGI_ERROR_NOT_FOUND
constexpr std::int32_t kENoInterface = static_cast<std::int32_t>(0x80004002u);       // E_NOINTERFACE
constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);              // E_FAIL
constexpr std::uint32_t kDxgiAdapterFlagSoftware = 2;                   // DXGI_ADAPTER_FLAG_SOFTWARE
constexpr std::uint32_t kDxgiMemorySegmentGroupLocal = 0;               // DXGI_MEMORY_SEGMENT_GROUP_LOCAL
constexpr std::uint32_t kErrorSuccess = 0;                              // ERROR_SUCCESS
constexpr std::uint32_t kErrorFileNotFound = 2;                         // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kErrorAccessDenied = 5;                         // ERROR_ACCESS_DENIED
constexpr std::uint32_t kErrorInsufficientBuffer = 122;                 // ERROR_INSUFFICIENT_BUFFER
constexpr std::uint32_t kErrorMoreData = 234;                           // ERROR_MORE_DATA
constexpr std::uint32_t kRelationProcessorCore = 0;                     // RelationProcessorCore
constexpr std::uint32_t kRegDword = 4;                                  // REG_DWORD
constexpr std::uint32_t kRegSz = 1;                                     // REG_SZ
constexpr std::uint32_t kDriveUnknown = 0;                              // DRIVE_UNKNOWN
constexpr std::uint32_t kDriveNoRootDir = 1;                            // DRIVE_NO_ROOT_DIR
constexpr std::uint32_t kDriveRemovable = 2;                            // DRIVE_REMOVABLE
constexpr std::uint32_t kDriveFixed = 3;                                // DRIVE_FIXED
constexpr std::uint32_t kDriveRemote = 4;                               // DRIVE_REMOTE
constexpr std::uint32_t kDriveCdrom = 5;                                // DRIVE_CDROM
constexpr std::uint32_t kDriveRamdisk = 6;                              // DRIVE_RAMDISK
constexpr std::uint32_t kFileShareRead = 1;                             // FILE_SHARE_READ
constexpr std::uint32_t kFileShareWrite = 2;                            // FILE_SHARE_WRITE
constexpr std::uint32_t kOpenExisting = 3;                              // OPEN_EXISTING
constexpr std::uint32_t kIoctlStorageQueryProperty = 0x2D1400;          // IOCTL_STORAGE_QUERY_PROPERTY
constexpr std::uint32_t kStorageDeviceSeekPenaltyProperty = 7;          // StorageDeviceSeekPenaltyProperty
constexpr std::uint32_t kPropertyStandardQuery = 0;                     // PropertyStandardQuery
}  // namespace win

namespace nvml {
constexpr std::int32_t kSuccess = 0;              // NVML_SUCCESS
constexpr std::int32_t kErrorUninitialized = 1;   // NVML_ERROR_UNINITIALIZED
constexpr std::int32_t kErrorInvalidArgument = 2; // NVML_ERROR_INVALID_ARGUMENT
constexpr std::int32_t kErrorNotSupported = 3;    // NVML_ERROR_NOT_SUPPORTED
constexpr std::int32_t kErrorUnknown = 999;       // NVML_ERROR_UNKNOWN
constexpr std::uint32_t kClockMem = 2;            // NVML_CLOCK_MEM
}  // namespace nvml

class Platform {
public:
    virtual ~Platform() = default;

    // Processor: the CPUID instruction, GetSystemInfo, GetLogicalProcessorInformationEx, GetLastError.
    virtual CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) = 0;
    virtual std::uint32_t get_system_info_number_of_processors() = 0;
    virtual bool get_logical_processor_information_ex(std::uint32_t relationship, std::uint8_t* buffer,
                                                      std::uint32_t& length) = 0;
    virtual std::uint32_t get_last_error() = 0;

    // Registry under HKEY_LOCAL_MACHINE, opened with options 0 and KEY_READ. Statuses are LONG.
    virtual std::int32_t reg_open_key_ex(const char* sub_key, Handle& key) = 0;
    virtual std::int32_t reg_query_value_ex(Handle key, const char* value_name, std::uint32_t& type,
                                            std::uint8_t* data, std::uint32_t& data_size) = 0;
    virtual std::int32_t reg_close_key(Handle key) = 0;

    // GlobalMemoryStatusEx.
    virtual bool global_memory_status_ex(MemoryStatusEx& status) = 0;

    // DXGI. Results are HRESULTs; every object handed out is released with release().
    virtual std::int32_t create_dxgi_factory1_factory4(Handle& factory) = 0;
    virtual std::int32_t enum_adapters1(Handle factory, std::uint32_t index, Handle& adapter) = 0;
    virtual std::int32_t get_desc1(Handle adapter, AdapterDesc1& desc) = 0;
    virtual std::int32_t query_interface_adapter3(Handle adapter, Handle& adapter3) = 0;
    virtual std::int32_t query_video_memory_info(Handle adapter3, std::uint32_t node_index,
                                                 std::uint32_t segment_group, VideoMemoryInfo& info) = 0;
    virtual std::uint32_t release(Handle object) = 0;

    // WideCharToMultiByte(CP_UTF8, 0, wide, wide_length, out, out_size, NULL, NULL).
    virtual std::int32_t wide_char_to_multi_byte_utf8(const char16_t* wide, std::int32_t wide_length,
                                                      char* out, std::int32_t out_size) = 0;

    // Modules: LoadLibraryExA(name, NULL, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS), GetModuleHandleA,
    // GetProcAddress. Modules loaded here are never freed (the NVML binding lives with the process).
    virtual Handle load_library_ex_default_dirs(const char* name) = 0;
    virtual Handle get_module_handle(const char* name) = 0;
    virtual Symbol get_proc_address(Handle module, const char* name) = 0;

    // NVML entry points, called through symbols that get_proc_address returned. Results are nvmlReturn_t.
    virtual std::int32_t call_nvml_init_v2(Symbol entry) = 0;
    virtual std::int32_t call_nvml_device_get_handle_by_index(Symbol entry, std::uint32_t index,
                                                              NvmlDevice& device) = 0;
    virtual std::int32_t call_nvml_device_get_count(Symbol entry, std::uint32_t& count) = 0;
    virtual std::int32_t call_nvml_device_get_pci_info_v3(Symbol entry, NvmlDevice device, NvmlPciInfo& pci) = 0;
    // nvmlDeviceGetClockInfo and nvmlDeviceGetMaxClockInfo share this shape; `entry` says which is called.
    virtual std::int32_t call_nvml_device_clock_query(Symbol entry, NvmlDevice device, std::uint32_t clock_type,
                                                      std::uint32_t& clock) = 0;
    virtual std::int32_t call_nvml_device_get_bus_width(Symbol entry, NvmlDevice device,
                                                        std::uint32_t& bus_width) = 0;

    // Drives: GetLogicalDrives, GetDriveTypeA, GetDiskFreeSpaceExA, CreateFileA, DeviceIoControl, CloseHandle.
    virtual std::uint32_t get_logical_drives() = 0;
    virtual std::uint32_t get_drive_type(const char* root) = 0;
    virtual bool get_disk_free_space_ex(const char* root, std::uint64_t& free_to_caller,
                                        std::uint64_t& total) = 0;
    virtual Handle create_file(const char* path, std::uint32_t desired_access, std::uint32_t share_mode,
                               std::uint32_t creation_disposition, std::uint32_t flags) = 0;
    virtual bool device_io_control(Handle device, std::uint32_t control_code, const void* in,
                                   std::uint32_t in_size, void* out, std::uint32_t out_size,
                                   std::uint32_t& bytes_returned) = 0;
    virtual bool close_handle(Handle handle) = 0;
};

}  // namespace mrv
