#include "platform_calls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "boundary/request.h"
#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

constexpr std::uint64_t kGib = 1073741824;
const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

void put_le(std::vector<std::uint8_t>& bytes, std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(word >> shift));
}

AdapterAnswer adapter(const std::u16string& name, std::uint32_t vendor, std::uint64_t dedicated) {
    AdapterAnswer answer;
    std::copy(name.begin(), name.end(), answer.desc.description);
    answer.desc.vendor_id = vendor;
    answer.desc.dedicated_video_memory = dedicated;
    answer.memory_info.budget = dedicated / 2;
    return answer;
}

// A workstation whose every probe has something to find: brand, two cores,
// both clocks, an NVIDIA adapter measured through NVML beside the software
// renderer, and fixed, optical and unopenable drives.
MachineProfile workstation() {
    MachineProfile profile;
    profile.cpuid[{0x80000000u, 0}] = {0x80000008u, 0, 0, 0};
    profile.cpuid[{0x80000002u, 0}] = {0x6d617247u, 0x20555043u, 0, 0};  // "Gram CPU"
    profile.cpuid[{1, 0}] = {0, 0, 1u << 12, 0};
    profile.number_of_processors = 4;
    for (int core = 0; core < 2; ++core) {
        put_le(profile.topology.buffer, win::kRelationProcessorCore);
        put_le(profile.topology.buffer, 48);
        profile.topology.buffer.resize(profile.topology.buffer.size() + 40, 0);
    }
    profile.registry[kProcessorKey].values["~MHz"] = {win::kRegDword, {0xB8, 0x0B, 0, 0}};
    profile.registry[kProcessorKey].values["MaxMHz"] = {win::kRegDword, {0x94, 0x11, 0, 0}};
    profile.memory_status = MemoryStatusEx{};
    profile.memory_status->total_phys = 32 * kGib;
    profile.dxgi.adapters = {adapter(u"NVIDIA GeForce RTX 4070", 0x10DE, 12 * kGib),
                             adapter(u"Microsoft Basic Render Driver", 0x1414, 0)};
    profile.dxgi.adapters[1].desc.flags = win::kDxgiAdapterFlagSoftware;
    profile.nvml.present = true;
    profile.nvml.devices[0] = working_nvml_device(profile.dxgi.adapters[0].desc, 10501, 192);
    profile.logical_drives = 0b11101;  // A, C, D, E
    profile.drives['A'].type = win::kDriveRemovable;
    profile.drives['C'] = {win::kDriveFixed, true, 100 * kGib, 500 * kGib, true, true, false};
    profile.drives['D'].type = win::kDriveCdrom;
    profile.drives['E'] = {win::kDriveFixed, true, 1 * kGib, 2 * kGib, false, true, true};
    return profile;
}

struct Variant {
    const char* name;
    std::function<void(MachineProfile&)> change;
};

const Variant variants[] = {
    {"as it is", [](MachineProfile&) {}},
    {"no brand leaves", [](MachineProfile& p) { p.cpuid[{0x80000000u, 0}].eax = 0x80000001u; }},
    {"topology refused", [](MachineProfile& p) { p.topology.size_query_error = win::kErrorAccessDenied; }},
    {"topology fill fails", [](MachineProfile& p) { p.topology.fill_error = win::kErrorAccessDenied; }},
    {"no processor key", [](MachineProfile& p) { p.registry.clear(); }},
    {"clock of the wrong type",
     [](MachineProfile& p) { p.registry[kProcessorKey].values["MaxMHz"].type = win::kRegSz; }},
    {"memory status fails", [](MachineProfile& p) { p.memory_status.reset(); }},
    {"no DXGI factory", [](MachineProfile& p) { p.dxgi.factory_result = win::kENoInterface; }},
    {"no IDXGIAdapter3", [](MachineProfile& p) { p.dxgi.adapters[0].has_adapter3 = false; }},
    {"memory query fails", [](MachineProfile& p) { p.dxgi.adapters[0].memory_info_result = win::kEFail; }},
    {"index that fails", [](MachineProfile& p) {
         AdapterAnswer failing;
         failing.enum_result = win::kEFail;
         p.dxgi.adapters.insert(p.dxgi.adapters.begin(), failing);
     }},
    {"description fails", [](MachineProfile& p) { p.dxgi.adapters[0].desc_result = win::kEFail; }},
    {"empty adapter name", [](MachineProfile& p) { p.dxgi.adapters[0].desc.description[0] = 0; }},
    {"two NVIDIA adapters", [](MachineProfile& p) {
         p.dxgi.adapters.insert(p.dxgi.adapters.begin() + 1, adapter(u"NVIDIA T400", 0x10DE, 2 * kGib));
         p.nvml.devices[1] = working_nvml_device(p.dxgi.adapters[1].desc, 5000, 64);
         p.nvml.devices[1].pci_device_id = 0x1FF210DE;  // the T400's own device ID
         p.dxgi.adapters[1].desc.device_id = 0x1FF2;
     }},
    {"no NVML", [](MachineProfile& p) { p.nvml.present = false; }},
    {"NVML without an entry", [](MachineProfile& p) { p.nvml.exports.erase("nvmlShutdown"); }},
    {"NVML init fails", [](MachineProfile& p) { p.nvml.init_result = nvml::kErrorUnknown; }},
    {"no device handle", [](MachineProfile& p) { p.nvml.devices[0].handle_result = nvml::kErrorNotSupported; }},
    {"no clock entry", [](MachineProfile& p) { p.nvml.exports.erase("nvmlDeviceGetMaxClockInfo"); }},
    {"clock query fails", [](MachineProfile& p) { p.nvml.devices[0].max_clock_result = nvml::kErrorNotSupported; }},
    {"device found elsewhere", [](MachineProfile& p) {
         p.nvml.devices[1] = p.nvml.devices[0];
         p.nvml.devices[0].pci_device_id = 0x20F110DE;
         p.nvml.device_count = 2;
     }},
    {"no agreeing device", [](MachineProfile& p) {
         p.nvml.devices[0].pci_sub_system_id = 1;
         p.nvml.device_count = 1;
     }},
    {"no PCI entry", [](MachineProfile& p) { p.nvml.exports.erase("nvmlDeviceGetPciInfo_v3"); }},
    {"free space fails", [](MachineProfile& p) { p.drives['C'].free_space_ok = false; }},
    {"property query fails", [](MachineProfile& p) { p.drives['C'].ioctl_ok = false; }},
    {"no drives", [](MachineProfile& p) { p.logical_drives = 0; }},
};

TEST(PlatformCallsOnly, MakesTheCallsOfARequestOneForOne) {
    const GpuBandwidthEstimator no_tables{ArchitectureTables{}, false};
    for (const Variant& variant : variants) {
        MachineProfile profile = workstation();
        variant.change(profile);

        ProfilePlatform library_side{profile};
        const NvmlBinding library_nvml = open_nvml_binding(library_side);
        collect_capabilities_document({library_side, library_nvml, no_tables});

        ProfilePlatform calls_only{profile};
        const NvmlBinding nvml = open_nvml_binding(calls_only);
        make_request_platform_calls(calls_only, nvml);

        EXPECT_EQ(calls_only.calls(), library_side.calls()) << variant.name;
        EXPECT_TRUE(calls_only.all_released()) << variant.name;
    }
}

}  // namespace
}  // namespace mrv
