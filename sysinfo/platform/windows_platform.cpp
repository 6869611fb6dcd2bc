#include "platform/windows_platform.h"

#include <windows.h>
#include <dxgi1_4.h>
#include <intrin.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>

namespace mrv {
namespace {

// The portable mirrors must not drift from the SDK types they stand for.
static_assert(sizeof(MemoryStatusEx) == sizeof(MEMORYSTATUSEX), "MEMORYSTATUSEX");
static_assert(offsetof(MemoryStatusEx, total_phys) == offsetof(MEMORYSTATUSEX, ullTotalPhys), "MEMORYSTATUSEX");
static_assert(offsetof(MemoryStatusEx, avail_page_file) == offsetof(MEMORYSTATUSEX, ullAvailPageFile),
              "MEMORYSTATUSEX");
static_assert(sizeof(AdapterDesc1) == sizeof(DXGI_ADAPTER_DESC1), "DXGI_ADAPTER_DESC1");
static_assert(offsetof(AdapterDesc1, vendor_id) == offsetof(DXGI_ADAPTER_DESC1, VendorId), "DXGI_ADAPTER_DESC1");
static_assert(offsetof(AdapterDesc1, dedicated_video_memory) == offsetof(DXGI_ADAPTER_DESC1, DedicatedVideoMemory),
              "DXGI_ADAPTER_DESC1");
static_assert(offsetof(AdapterDesc1, shared_system_memory) == offsetof(DXGI_ADAPTER_DESC1, SharedSystemMemory),
              "DXGI_ADAPTER_DESC1");
static_assert(offsetof(AdapterDesc1, flags) == offsetof(DXGI_ADAPTER_DESC1, Flags), "DXGI_ADAPTER_DESC1");
static_assert(sizeof(VideoMemoryInfo) == sizeof(DXGI_QUERY_VIDEO_MEMORY_INFO), "DXGI_QUERY_VIDEO_MEMORY_INFO");
static_assert(offsetof(VideoMemoryInfo, current_usage) == offsetof(DXGI_QUERY_VIDEO_MEMORY_INFO, CurrentUsage),
              "DXGI_QUERY_VIDEO_MEMORY_INFO");
static_assert(sizeof(StoragePropertyQuery) == sizeof(STORAGE_PROPERTY_QUERY), "STORAGE_PROPERTY_QUERY");
static_assert(offsetof(StoragePropertyQuery, additional_parameters) ==
                  offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters),
              "STORAGE_PROPERTY_QUERY");
static_assert(sizeof(DeviceSeekPenaltyDescriptor) == sizeof(DEVICE_SEEK_PENALTY_DESCRIPTOR),
              "DEVICE_SEEK_PENALTY_DESCRIPTOR");
static_assert(offsetof(DeviceSeekPenaltyDescriptor, incurs_seek_penalty) ==
                  offsetof(DEVICE_SEEK_PENALTY_DESCRIPTOR, IncursSeekPenalty),
              "DEVICE_SEEK_PENALTY_DESCRIPTOR");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");
static_assert(sizeof(Handle) == sizeof(void*), "handles carry pointers");

// Nor the constants the probes compare against or pass on.
template <typename Sdk, typename Mirror>
constexpr bool same_value(Sdk sdk, Mirror mirror) {
    return static_cast<Mirror>(sdk) == mirror;
}
static_assert(same_value(S_OK, win::kSOk), "S_OK");
static_assert(same_value(DXGI_ERROR_NOT_FOUND, win::kDxgiErrorNotFound), "DXGI_ERROR_NOT_FOUND");
static_assert(same_value(E_NOINTERFACE, win::kENoInterface), "E_NOINTERFACE");
static_assert(same_value(E_FAIL, win::kEFail), "E_FAIL");
static_assert(same_value(DXGI_ADAPTER_FLAG_SOFTWARE, win::kDxgiAdapterFlagSoftware), "DXGI_ADAPTER_FLAG_SOFTWARE");
static_assert(same_value(DXGI_MEMORY_SEGMENT_GROUP_LOCAL, win::kDxgiMemorySegmentGroupLocal),
              "DXGI_MEMORY_SEGMENT_GROUP_LOCAL");
static_assert(same_value(ERROR_SUCCESS, win::kErrorSuccess), "ERROR_SUCCESS");
static_assert(same_value(ERROR_FILE_NOT_FOUND, win::kErrorFileNotFound), "ERROR_FILE_NOT_FOUND");
static_assert(same_value(ERROR_ACCESS_DENIED, win::kErrorAccessDenied), "ERROR_ACCESS_DENIED");
static_assert(same_value(ERROR_INSUFFICIENT_BUFFER, win::kErrorInsufficientBuffer), "ERROR_INSUFFICIENT_BUFFER");
static_assert(same_value(ERROR_MORE_DATA, win::kErrorMoreData), "ERROR_MORE_DATA");
static_assert(same_value(RelationProcessorCore, win::kRelationProcessorCore), "RelationProcessorCore");
static_assert(same_value(REG_DWORD, win::kRegDword), "REG_DWORD");
static_assert(same_value(REG_SZ, win::kRegSz), "REG_SZ");
static_assert(same_value(DRIVE_UNKNOWN, win::kDriveUnknown), "DRIVE_UNKNOWN");
static_assert(same_value(DRIVE_NO_ROOT_DIR, win::kDriveNoRootDir), "DRIVE_NO_ROOT_DIR");
static_assert(same_value(DRIVE_REMOVABLE, win::kDriveRemovable), "DRIVE_REMOVABLE");
static_assert(same_value(DRIVE_FIXED, win::kDriveFixed), "DRIVE_FIXED");
static_assert(same_value(DRIVE_REMOTE, win::kDriveRemote), "DRIVE_REMOTE");
static_assert(same_value(DRIVE_CDROM, win::kDriveCdrom), "DRIVE_CDROM");
static_assert(same_value(DRIVE_RAMDISK, win::kDriveRamdisk), "DRIVE_RAMDISK");
static_assert(same_value(FILE_SHARE_READ, win::kFileShareRead), "FILE_SHARE_READ");
static_assert(same_value(FILE_SHARE_WRITE, win::kFileShareWrite), "FILE_SHARE_WRITE");
static_assert(same_value(OPEN_EXISTING, win::kOpenExisting), "OPEN_EXISTING");
static_assert(same_value(IOCTL_STORAGE_QUERY_PROPERTY, win::kIoctlStorageQueryProperty),
              "IOCTL_STORAGE_QUERY_PROPERTY");
static_assert(same_value(StorageDeviceSeekPenaltyProperty, win::kStorageDeviceSeekPenaltyProperty),
              "StorageDeviceSeekPenaltyProperty");
static_assert(same_value(PropertyStandardQuery, win::kPropertyStandardQuery), "PropertyStandardQuery");

// Written out so that no import library of GUIDs is needed.
constexpr IID kIidFactory4 = {0x1bc6ea02, 0xef36, 0x464f, {0xbf, 0x0c, 0x21, 0xca, 0x39, 0xe5, 0x16, 0x8a}};
constexpr IID kIidAdapter3 = {0x645967a4, 0x1392, 0x4310, {0xa7, 0x98, 0x80, 0x53, 0xce, 0x3e, 0x93, 0xfd}};

// NVML entry points as the vendor publishes them (nvmlDevice_t is a pointer).
using NvmlInit = int(__cdecl*)();
using NvmlDeviceGetHandleByIndex = int(__cdecl*)(unsigned int, void**);
using NvmlDeviceGetCount = int(__cdecl*)(unsigned int*);
using NvmlDeviceGetPciInfo = int(__cdecl*)(void*, NvmlPciInfo*);
// nvmlDeviceGetClockInfo and nvmlDeviceGetMaxClockInfo alike.
using NvmlDeviceClockQuery = int(__cdecl*)(void*, int, unsigned int*);
using NvmlDeviceGetBusWidth = int(__cdecl*)(void*, unsigned int*);

template <typename T>
T* as(Handle handle) {
    return reinterpret_cast<T*>(handle);
}

Handle handle_of(const void* pointer) { return reinterpret_cast<Handle>(pointer); }

template <typename Function>
Function entry_point(Symbol symbol) {
    return reinterpret_cast<Function>(symbol);
}

}  // namespace

CpuidResult WindowsPlatform::cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    int registers[4] = {};
    __cpuidex(registers, static_cast<int>(leaf), static_cast<int>(subleaf));
    return {static_cast<std::uint32_t>(registers[0]), static_cast<std::uint32_t>(registers[1]),
            static_cast<std::uint32_t>(registers[2]), static_cast<std::uint32_t>(registers[3])};
}

std::uint32_t WindowsPlatform::get_system_info_number_of_processors() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

bool WindowsPlatform::get_logical_processor_information_ex(std::uint32_t relationship, std::uint8_t* buffer,
                                                           std::uint32_t& length) {
    DWORD size = length;
    const BOOL ok = GetLogicalProcessorInformationEx(
        static_cast<LOGICAL_PROCESSOR_RELATIONSHIP>(relationship),
        reinterpret_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX>(buffer), &size);
    length = size;
    return ok != FALSE;
}

std::uint32_t WindowsPlatform::get_last_error() { return GetLastError(); }

std::int32_t WindowsPlatform::reg_open_key_ex(const char* sub_key, Handle& key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, sub_key, 0, KEY_READ, &opened);
    if (status == ERROR_SUCCESS) key = handle_of(opened);
    return status;
}

std::int32_t WindowsPlatform::reg_query_value_ex(Handle key, const char* value_name, std::uint32_t& type,
                                                 std::uint8_t* data, std::uint32_t& data_size) {
    DWORD value_type = 0;
    DWORD size = data_size;
    const LONG status = RegQueryValueExA(as<HKEY__>(key), value_name, nullptr, &value_type, data, &size);
    type = value_type;
    data_size = size;
    return status;
}

std::int32_t WindowsPlatform::reg_close_key(Handle key) { return RegCloseKey(as<HKEY__>(key)); }

bool WindowsPlatform::global_memory_status_ex(MemoryStatusEx& status) {
    MEMORYSTATUSEX native;
    std::memcpy(&native, &status, sizeof native);
    const BOOL ok = GlobalMemoryStatusEx(&native);
    std::memcpy(static_cast<void*>(&status), &native, sizeof native);
    return ok != FALSE;
}

std::int32_t WindowsPlatform::create_dxgi_factory1_factory4(Handle& factory) {
    void* created = nullptr;
    const HRESULT result = CreateDXGIFactory1(kIidFactory4, &created);
    if (SUCCEEDED(result)) factory = handle_of(created);
    return result;
}

std::int32_t WindowsPlatform::enum_adapters1(Handle factory, std::uint32_t index, Handle& adapter) {
    IDXGIAdapter1* found = nullptr;
    const HRESULT result = as<IDXGIFactory1>(factory)->EnumAdapters1(index, &found);
    if (SUCCEEDED(result)) adapter = handle_of(found);
    return result;
}

std::int32_t WindowsPlatform::get_desc1(Handle adapter, AdapterDesc1& desc) {
    DXGI_ADAPTER_DESC1 native;
    const HRESULT result = as<IDXGIAdapter1>(adapter)->GetDesc1(&native);
    if (SUCCEEDED(result)) std::memcpy(static_cast<void*>(&desc), &native, sizeof native);
    return result;
}

std::int32_t WindowsPlatform::query_interface_adapter3(Handle adapter, Handle& adapter3) {
    void* queried = nullptr;
    const HRESULT result = as<IDXGIAdapter1>(adapter)->QueryInterface(kIidAdapter3, &queried);
    if (SUCCEEDED(result)) adapter3 = handle_of(queried);
    return result;
}

std::int32_t WindowsPlatform::query_video_memory_info(Handle adapter3, std::uint32_t node_index,
                                                      std::uint32_t segment_group, VideoMemoryInfo& info) {
    DXGI_QUERY_VIDEO_MEMORY_INFO native;
    const HRESULT result = as<IDXGIAdapter3>(adapter3)->QueryVideoMemoryInfo(
        node_index, static_cast<DXGI_MEMORY_SEGMENT_GROUP>(segment_group), &native);
    if (SUCCEEDED(result)) std::memcpy(static_cast<void*>(&info), &native, sizeof native);
    return result;
}

std::uint32_t WindowsPlatform::release(Handle object) { return as<IUnknown>(object)->Release(); }

std::int32_t WindowsPlatform::wide_char_to_multi_byte_utf8(const char16_t* wide, std::int32_t wide_length,
                                                           char* out, std::int32_t out_size) {
    return WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(wide), wide_length, out, out_size,
                               nullptr, nullptr);
}

Handle WindowsPlatform::load_library_ex_default_dirs(const char* name) {
    return handle_of(LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
}

Handle WindowsPlatform::get_module_handle(const char* name) { return handle_of(GetModuleHandleA(name)); }

Symbol WindowsPlatform::get_proc_address(Handle module, const char* name) {
    return reinterpret_cast<Symbol>(GetProcAddress(as<HINSTANCE__>(module), name));
}

std::int32_t WindowsPlatform::call_nvml_init_v2(Symbol entry) { return entry_point<NvmlInit>(entry)(); }

std::int32_t WindowsPlatform::call_nvml_device_get_handle_by_index(Symbol entry, std::uint32_t index,
                                                                   NvmlDevice& device) {
    void* found = nullptr;
    const int status = entry_point<NvmlDeviceGetHandleByIndex>(entry)(index, &found);
    if (status == nvml::kSuccess) device = handle_of(found);
    return status;
}

std::int32_t WindowsPlatform::call_nvml_device_get_count(Symbol entry, std::uint32_t& count) {
    unsigned int value = count;
    const int status = entry_point<NvmlDeviceGetCount>(entry)(&value);
    count = value;
    return status;
}

std::int32_t WindowsPlatform::call_nvml_device_get_pci_info_v3(Symbol entry, NvmlDevice device, NvmlPciInfo& pci) {
    return entry_point<NvmlDeviceGetPciInfo>(entry)(as<void>(device), &pci);
}

std::int32_t WindowsPlatform::call_nvml_device_clock_query(Symbol entry, NvmlDevice device,
                                                           std::uint32_t clock_type, std::uint32_t& clock) {
    unsigned int value = clock;
    const int status =
        entry_point<NvmlDeviceClockQuery>(entry)(as<void>(device), static_cast<int>(clock_type), &value);
    clock = value;
    return status;
}

std::int32_t WindowsPlatform::call_nvml_device_get_bus_width(Symbol entry, NvmlDevice device,
                                                             std::uint32_t& bus_width) {
    unsigned int value = bus_width;
    const int status = entry_point<NvmlDeviceGetBusWidth>(entry)(as<void>(device), &value);
    bus_width = value;
    return status;
}

std::uint32_t WindowsPlatform::get_logical_drives() { return GetLogicalDrives(); }

std::uint32_t WindowsPlatform::get_drive_type(const char* root) { return GetDriveTypeA(root); }

bool WindowsPlatform::get_disk_free_space_ex(const char* root, std::uint64_t& free_to_caller,
                                             std::uint64_t& total) {
    ULARGE_INTEGER available;
    ULARGE_INTEGER size;
    if (!GetDiskFreeSpaceExA(root, &available, &size, nullptr)) return false;
    free_to_caller = available.QuadPart;
    total = size.QuadPart;
    return true;
}

Handle WindowsPlatform::create_file(const char* path, std::uint32_t desired_access, std::uint32_t share_mode,
                                    std::uint32_t creation_disposition, std::uint32_t flags) {
    return handle_of(CreateFileA(path, desired_access, share_mode, nullptr, creation_disposition, flags, nullptr));
}

bool WindowsPlatform::device_io_control(Handle device, std::uint32_t control_code, const void* in,
                                        std::uint32_t in_size, void* out, std::uint32_t out_size,
                                        std::uint32_t& bytes_returned) {
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(as<void>(device), control_code, const_cast<void*>(in), in_size, out, out_size,
                                    &returned, nullptr);
    bytes_returned = returned;
    return ok != FALSE;
}

bool WindowsPlatform::close_handle(Handle handle) { return CloseHandle(as<void>(handle)) != FALSE; }

}  // namespace mrv
