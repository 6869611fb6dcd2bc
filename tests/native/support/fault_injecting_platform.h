// A Platform decorator that forwards every call to another Platform (a
// ProfilePlatform, whose ledger then shows what the probes acquired and
// released), numbers the calls, and at one chosen call answers with a fault
// instead: the failure Windows would report there, a failure that scribbled
// over the outputs first, a success with short, oversized or empty data, or
// an exception where the caller's own code could raise one.
// Calls that release something still release it before reporting a failure,
// so the ledger shows whether the probes leak or release twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace mrv::test {

enum class Call {
    Cpuid, GetSystemInfo, GetLogicalProcessorInformationEx, GetLastError,
    RegOpenKeyEx, RegQueryValueEx, RegCloseKey,
    GlobalMemoryStatusEx,
    CreateDxgiFactory, EnumAdapters1, GetDesc1, QueryInterfaceAdapter3, QueryVideoMemoryInfo, Release,
    WideCharToMultiByte,
    LoadLibrary, GetModuleHandle, GetProcAddress,
    NvmlInit, NvmlGetHandleByIndex, NvmlGetCount, NvmlGetPciInfo, NvmlClockQuery, NvmlGetBusWidth,
    GetLogicalDrives, GetDriveType, GetDiskFreeSpaceEx, CreateFile, DeviceIoControl, CloseHandle,
};

enum class Fault {
    None,
    Fail,              // the call's own failure: status, false, 0, null or invalid handle; outputs untouched
    FailAfterWriting,  // the same failure, after garbage was written into the outputs
    Short,             // success, reporting less data than the buffer holds or than was asked for
    Oversized,         // success, reporting more data than the buffer holds, or absurd values
    Empty,             // success with nothing in it: null handle, zero value, zero bytes
    NotUtf8,           // text conversion only: success with bytes that are not UTF-8
    OtherSuccess,      // factory creation only: the factory handed out with S_FALSE instead of S_OK
    Throws,            // std::bad_alloc instead of the call, as the caller's allocation just before it
                       // would raise it; never for Release, which destructors make
};

struct CallRecord {
    Call call;
    std::string detail;  // what tells calls of one kind apart (leaf, value name, root, index, NVML device index)
};

class FaultInjectingPlatform final : public Platform {
public:
    // target: the 0-based number of the call that gets the fault (ignored with Fault::None).
    FaultInjectingPlatform(Platform& inner, std::size_t target = 0, Fault fault = Fault::None)
        : inner_(inner), target_(target), fault_(fault) {}

    const std::vector<CallRecord>& log() const { return log_; }
    // Whether the fault was applied: not every fault has a meaning for every call.
    bool fault_taken() const { return taken_; }

    CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
        begin(Call::Cpuid, std::to_string(leaf));
        if (take(Fault::Fail)) return CpuidResult{};  // a hypervisor that hides the leaf
        if (take(Fault::Oversized)) return CpuidResult{~0u, ~0u, ~0u, ~0u};
        return inner_.cpuid(leaf, subleaf);
    }
    std::uint32_t get_system_info_number_of_processors() override {
        begin(Call::GetSystemInfo, "");
        if (take(Fault::Fail)) return 0;
        if (take(Fault::Oversized)) return ~0u;
        return inner_.get_system_info_number_of_processors();
    }
    bool get_logical_processor_information_ex(std::uint32_t relationship, std::uint8_t* buffer,
                                              std::uint32_t& length) override {
        begin(Call::GetLogicalProcessorInformationEx, buffer == nullptr ? "size query" : "fill");
        if (take(Fault::Fail)) {
            pending_last_error_ = win::kErrorAccessDenied;
            return false;
        }
        const bool result = inner_.get_logical_processor_information_ex(relationship, buffer, length);
        // Size query: a needed length off the mark. Fill: a returned length
        // that is no multiple of the records, or beyond the buffer.
        if (take(Fault::Short) && length >= 5) length -= buffer == nullptr ? 5 : 3;
        if (take(Fault::Oversized)) length += buffer == nullptr ? 64 : 100;
        return result;
    }
    std::uint32_t get_last_error() override {
        begin(Call::GetLastError, "");
        if (take(Fault::Fail)) return 87;  // ERROR_INVALID_PARAMETER
        if (pending_last_error_ != 0) {
            const std::uint32_t error = pending_last_error_;
            pending_last_error_ = 0;
            return error;
        }
        return inner_.get_last_error();
    }

    std::int32_t reg_open_key_ex(const char* sub_key, Handle& key) override {
        begin(Call::RegOpenKeyEx, sub_key);
        if (take(Fault::Fail)) return static_cast<std::int32_t>(win::kErrorAccessDenied);
        return inner_.reg_open_key_ex(sub_key, key);
    }
    std::int32_t reg_query_value_ex(Handle key, const char* value_name, std::uint32_t& type, std::uint8_t* data,
                                    std::uint32_t& data_size) override {
        begin(Call::RegQueryValueEx, value_name);
        if (take(Fault::Fail)) return static_cast<std::int32_t>(win::kErrorFileNotFound);
        const std::uint32_t capacity = data_size;
        const std::int32_t status = inner_.reg_query_value_ex(key, value_name, type, data, data_size);
        if (status != 0 || data == nullptr) return status;
        // A value stored with the wrong size, as a hand edit or a broken driver leaves it.
        if (take(Fault::Short) && capacity >= 2) {
            std::memset(data + 2, 0, capacity - 2);
            data_size = 2;
        }
        if (take(Fault::Oversized)) data_size = capacity + 4;
        if (take(Fault::Empty)) {
            std::memset(data, 0, capacity);
            data_size = 0;
        }
        return status;
    }
    std::int32_t reg_close_key(Handle key) override {
        begin(Call::RegCloseKey, "");
        const std::int32_t status = inner_.reg_close_key(key);
        if (take(Fault::Fail)) return 6;  // ERROR_INVALID_HANDLE
        return status;
    }

    bool global_memory_status_ex(MemoryStatusEx& status) override {
        begin(Call::GlobalMemoryStatusEx, "");
        if (take(Fault::Fail)) return false;
        if (take(Fault::FailAfterWriting)) {
            scribble(&status.memory_load, sizeof status - sizeof status.length);
            return false;
        }
        return inner_.global_memory_status_ex(status);
    }

    std::int32_t create_dxgi_factory1_factory4(Handle& factory) override {
        begin(Call::CreateDxgiFactory, "");
        if (take(Fault::Fail)) return win::kEFail;
        if (take(Fault::FailAfterWriting)) {
            factory = kBogusHandle;
            return win::kEFail;
        }
        const std::int32_t result = inner_.create_dxgi_factory1_factory4(factory);
        if (result == win::kSOk && take(Fault::OtherSuccess)) return 1;  // S_FALSE
        return result;
    }
    std::int32_t enum_adapters1(Handle factory, std::uint32_t index, Handle& adapter) override {
        begin(Call::EnumAdapters1, std::to_string(index));
        if (take(Fault::Fail)) return win::kEFail;
        if (take(Fault::FailAfterWriting)) {
            adapter = kBogusHandle;
            return win::kEFail;
        }
        if (take(Fault::Short)) return win::kDxgiErrorNotFound;  // the list ends early
        if (take(Fault::Empty)) {
            adapter = 0;
            return win::kSOk;
        }
        return inner_.enum_adapters1(factory, index, adapter);
    }
    std::int32_t get_desc1(Handle adapter, AdapterDesc1& desc) override {
        begin(Call::GetDesc1, "");
        if (take(Fault::Fail)) return win::kEFail;
        if (take(Fault::FailAfterWriting)) {
            scribble(&desc, sizeof desc);
            return win::kEFail;
        }
        const std::int32_t result = inner_.get_desc1(adapter, desc);
        if (take(Fault::Oversized))  // every character used, no terminator
            for (char16_t& c : desc.description) c = u'Ж';
        return result;
    }
    std::int32_t query_interface_adapter3(Handle adapter, Handle& adapter3) override {
        begin(Call::QueryInterfaceAdapter3, "");
        if (take(Fault::Fail)) return win::kENoInterface;
        if (take(Fault::FailAfterWriting)) {
            adapter3 = kBogusHandle;
            return win::kENoInterface;
        }
        if (take(Fault::Empty)) {
            adapter3 = 0;
            return win::kSOk;
        }
        return inner_.query_interface_adapter3(adapter, adapter3);
    }
    std::int32_t query_video_memory_info(Handle adapter3, std::uint32_t node_index, std::uint32_t segment_group,
                                         VideoMemoryInfo& info) override {
        begin(Call::QueryVideoMemoryInfo, "");
        if (take(Fault::Fail)) return win::kEFail;
        if (take(Fault::FailAfterWriting)) {
            scribble(&info, sizeof info);
            return win::kEFail;
        }
        const std::int32_t result = inner_.query_video_memory_info(adapter3, node_index, segment_group, info);
        if (take(Fault::Oversized)) info = VideoMemoryInfo{~0ull, ~0ull, ~0ull, ~0ull};
        return result;
    }
    std::uint32_t release(Handle object) override {
        begin(Call::Release, "");
        const std::uint32_t count = inner_.release(object);
        if (take(Fault::Oversized)) return ~0u;  // a reference count that makes no sense
        return count;
    }

    std::int32_t wide_char_to_multi_byte_utf8(const char16_t* wide, std::int32_t wide_length, char* out,
                                              std::int32_t out_size) override {
        begin(Call::WideCharToMultiByte, out == nullptr ? "count" : "convert");
        if (take(Fault::Fail)) return 0;
        const std::int32_t result = inner_.wide_char_to_multi_byte_utf8(wide, wide_length, out, out_size);
        if (result <= 0) return result;
        if (take(Fault::Short)) return result - 1;
        if (take(Fault::Oversized)) return result + 5;  // more than asked, nothing more written
        if (out != nullptr && take(Fault::NotUtf8))
            for (std::int32_t i = 0; i < result; ++i) out[i] = i % 2 == 0 ? '\xC3' : '\x28';
        return result;
    }

    Handle load_library_ex_default_dirs(const char* name) override {
        begin(Call::LoadLibrary, name);
        if (take(Fault::Fail)) return 0;
        return inner_.load_library_ex_default_dirs(name);
    }
    Handle get_module_handle(const char* name) override {
        begin(Call::GetModuleHandle, name);
        if (take(Fault::Fail)) return 0;
        return inner_.get_module_handle(name);
    }
    Symbol get_proc_address(Handle module, const char* name) override {
        begin(Call::GetProcAddress, name);
        if (take(Fault::Fail)) return 0;
        return inner_.get_proc_address(module, name);
    }

    std::int32_t call_nvml_init_v2(Symbol entry) override {
        begin(Call::NvmlInit, "");
        if (take(Fault::Fail)) return nvml::kErrorUnknown;
        return inner_.call_nvml_init_v2(entry);
    }
    std::int32_t call_nvml_device_get_handle_by_index(Symbol entry, std::uint32_t index,
                                                      NvmlDevice& device) override {
        begin(Call::NvmlGetHandleByIndex, std::to_string(index));
        if (take(Fault::Fail)) return nvml::kErrorInvalidArgument;
        if (take(Fault::FailAfterWriting)) {
            device = kBogusHandle;
            return nvml::kErrorInvalidArgument;
        }
        if (take(Fault::Empty)) {
            device = 0;
            return nvml::kSuccess;
        }
        const std::int32_t result = inner_.call_nvml_device_get_handle_by_index(entry, index, device);
        if (result == nvml::kSuccess) device_indices_[device] = index;
        return result;
    }
    std::int32_t call_nvml_device_get_count(Symbol entry, std::uint32_t& count) override {
        begin(Call::NvmlGetCount, "");
        if (failed_nvml_value(count)) return nvml::kErrorUnknown;
        return odd_nvml_value(inner_.call_nvml_device_get_count(entry, count), count);
    }
    std::int32_t call_nvml_device_get_pci_info_v3(Symbol entry, NvmlDevice device, NvmlPciInfo& pci) override {
        begin(Call::NvmlGetPciInfo, device_index(device));
        if (take(Fault::Fail)) return nvml::kErrorNotSupported;
        if (take(Fault::FailAfterWriting)) {
            scribble(&pci, sizeof pci);
            return nvml::kErrorNotSupported;
        }
        const std::int32_t result = inner_.call_nvml_device_get_pci_info_v3(entry, device, pci);
        if (result == nvml::kSuccess && take(Fault::Empty)) pci = NvmlPciInfo{};
        if (result == nvml::kSuccess && take(Fault::Oversized)) pci.pci_device_id = pci.pci_sub_system_id = ~0u;
        return result;
    }
    std::int32_t call_nvml_device_clock_query(Symbol entry, NvmlDevice device, std::uint32_t clock_type,
                                              std::uint32_t& clock) override {
        begin(Call::NvmlClockQuery, device_index(device));
        if (failed_nvml_value(clock)) return nvml::kErrorNotSupported;
        return odd_nvml_value(inner_.call_nvml_device_clock_query(entry, device, clock_type, clock), clock);
    }
    std::int32_t call_nvml_device_get_bus_width(Symbol entry, NvmlDevice device,
                                                std::uint32_t& bus_width) override {
        begin(Call::NvmlGetBusWidth, device_index(device));
        if (failed_nvml_value(bus_width)) return nvml::kErrorNotSupported;
        return odd_nvml_value(inner_.call_nvml_device_get_bus_width(entry, device, bus_width), bus_width);
    }

    std::uint32_t get_logical_drives() override {
        begin(Call::GetLogicalDrives, "");
        if (take(Fault::Fail)) return 0;
        if (take(Fault::Oversized)) return ~0u;  // every bit, past Z too
        return inner_.get_logical_drives();
    }
    std::uint32_t get_drive_type(const char* root) override {
        begin(Call::GetDriveType, root);
        if (take(Fault::Fail)) return win::kDriveUnknown;
        return inner_.get_drive_type(root);
    }
    bool get_disk_free_space_ex(const char* root, std::uint64_t& free_to_caller, std::uint64_t& total) override {
        begin(Call::GetDiskFreeSpaceEx, root);
        if (take(Fault::Fail)) return false;
        if (take(Fault::FailAfterWriting)) {
            free_to_caller = total = 0xABABABABABABABABull;
            return false;
        }
        return inner_.get_disk_free_space_ex(root, free_to_caller, total);
    }
    Handle create_file(const char* path, std::uint32_t desired_access, std::uint32_t share_mode,
                       std::uint32_t creation_disposition, std::uint32_t flags) override {
        begin(Call::CreateFile, path);
        if (take(Fault::Fail)) return kInvalidHandle;
        return inner_.create_file(path, desired_access, share_mode, creation_disposition, flags);
    }
    bool device_io_control(Handle device, std::uint32_t control_code, const void* in, std::uint32_t in_size,
                           void* out, std::uint32_t out_size, std::uint32_t& bytes_returned) override {
        begin(Call::DeviceIoControl, "");
        if (take(Fault::Fail)) return false;
        if (take(Fault::FailAfterWriting)) {
            // A descriptor that says "no seek penalty", on a call that failed.
            DeviceSeekPenaltyDescriptor claims_ssd;
            claims_ssd.version = claims_ssd.size = sizeof claims_ssd;
            if (out != nullptr && out_size >= sizeof claims_ssd) std::memcpy(out, &claims_ssd, sizeof claims_ssd);
            bytes_returned = sizeof claims_ssd;
            return false;
        }
        if (take(Fault::Short))
            return answer_partly(device, control_code, in, in_size, out, out_size, 8, bytes_returned);
        if (take(Fault::Empty))
            return answer_partly(device, control_code, in, in_size, out, out_size, 0, bytes_returned);
        const bool answered =
            inner_.device_io_control(device, control_code, in, in_size, out, out_size, bytes_returned);
        if (take(Fault::Oversized)) bytes_returned = 4096;
        return answered;
    }
    bool close_handle(Handle handle) override {
        begin(Call::CloseHandle, "");
        const bool closed = inner_.close_handle(handle);
        if (take(Fault::Fail)) return false;
        return closed;
    }

private:
    static constexpr Handle kBogusHandle = 0xBAD0BAD0;

    void begin(Call call, std::string detail) {
        current_ = log_.size();
        log_.push_back({call, std::move(detail)});
        if (take(Fault::Throws)) throw std::bad_alloc();
    }
    bool fault_here() const { return fault_ != Fault::None && current_ == target_; }
    bool take(Fault fault) {
        if (!fault_here() || fault_ != fault) return false;
        taken_ = true;
        return true;
    }
    // Success with only the first kept bytes of the answer (the descriptor's header, or nothing).
    bool answer_partly(Handle device, std::uint32_t control_code, const void* in, std::uint32_t in_size, void* out,
                       std::uint32_t out_size, std::uint32_t kept, std::uint32_t& bytes_returned) {
        std::vector<std::uint8_t> full(out_size, 0);
        const bool answered =
            inner_.device_io_control(device, control_code, in, in_size, full.data(), out_size, bytes_returned);
        if (out != nullptr && kept <= out_size) std::memcpy(out, full.data(), kept);
        bytes_returned = kept;
        return answered;
    }
    static void scribble(void* out, std::size_t size) { std::memset(out, 0xAB, size); }

    bool failed_nvml_value(std::uint32_t& value) {
        if (take(Fault::Fail)) return true;
        if (take(Fault::FailAfterWriting)) {
            value = 12345;
            return true;
        }
        return false;
    }
    std::string device_index(NvmlDevice device) const {
        const auto found = device_indices_.find(device);
        return found == device_indices_.end() ? "?" : std::to_string(found->second);
    }
    std::int32_t odd_nvml_value(std::int32_t status, std::uint32_t& value) {
        if (status != nvml::kSuccess) return status;
        if (take(Fault::Empty)) value = 0;
        if (take(Fault::Oversized)) value = ~0u;
        return status;
    }

    Platform& inner_;
    std::map<NvmlDevice, std::uint32_t> device_indices_;  // which index each handle came from
    std::size_t target_;
    Fault fault_;
    std::size_t current_ = 0;
    bool taken_ = false;
    std::uint32_t pending_last_error_ = 0;
    std::vector<CallRecord> log_;
};

}  // namespace mrv::test
