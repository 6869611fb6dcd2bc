#include "sample_machines.h"

#include <algorithm>
#include <cstring>

namespace mrv::bench {
namespace {

constexpr std::uint64_t kGib = 1073741824;
const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

void put_le(std::vector<std::uint8_t>& bytes, std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(word >> shift));
}

std::uint32_t le_word(const char* text) {
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i) word = word << 8 | static_cast<unsigned char>(text[i]);
    return word;
}

// Brand leaves as the processor returns them: 48 bytes, NUL-padded.
void set_brand(MachineProfile& profile, const char* brand) {
    char text[48] = {};
    std::strncpy(text, brand, sizeof text - 1);
    profile.cpuid[{0x80000000u, 0}] = {0x80000008u, 0, 0, 0};
    for (std::uint32_t leaf = 0; leaf < 3; ++leaf) {
        const char* part = text + leaf * 16;
        profile.cpuid[{0x80000002u + leaf, 0}] = {le_word(part), le_word(part + 4), le_word(part + 8),
                                                  le_word(part + 12)};
    }
}

void set_cpu(MachineProfile& profile, const char* brand, int cores, int threads, std::uint32_t base_mhz,
             std::uint32_t max_mhz, bool avx512) {
    set_brand(profile, brand);
    profile.cpuid[{1, 0}] = {0, 0, 1u << 12 | 1u << 29, 0};                  // FMA, F16C
    profile.cpuid[{7, 0}] = {0, 1u << 5 | (avx512 ? 1u << 16 : 0u), 0, 0};  // AVX2, AVX-512F
    profile.number_of_processors = static_cast<std::uint32_t>(threads);
    for (int core = 0; core < cores; ++core) {  // RelationProcessorCore records of 48 bytes
        put_le(profile.topology.buffer, win::kRelationProcessorCore);
        put_le(profile.topology.buffer, 48);
        profile.topology.buffer.push_back(threads > cores ? 1 : 0);  // LTP_PC_SMT
        profile.topology.buffer.resize(profile.topology.buffer.size() + 39, 0);
    }
    auto dword = [](std::uint32_t value) {
        return RegistryValue{win::kRegDword, {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                              static_cast<std::uint8_t>(value >> 16),
                                              static_cast<std::uint8_t>(value >> 24)}};
    };
    profile.registry[kProcessorKey].values["~MHz"] = dword(base_mhz);
    profile.registry[kProcessorKey].values["MaxMHz"] = dword(max_mhz);
}

void set_memory(MachineProfile& profile, std::uint64_t ram, std::uint64_t available) {
    MemoryStatusEx status;
    status.length = sizeof status;
    status.total_phys = ram;
    status.avail_phys = available;
    status.total_page_file = ram + 8 * kGib;
    status.avail_page_file = available + 6 * kGib;
    status.total_virtual = 128ull * 1024 * kGib;
    status.avail_virtual = status.total_virtual - kGib;
    profile.memory_status = status;
}

AdapterAnswer adapter(const char16_t* name, std::uint32_t vendor, std::uint64_t dedicated, std::uint64_t shared) {
    AdapterAnswer answer;
    std::copy(name, name + std::char_traits<char16_t>::length(name), answer.desc.description);
    answer.desc.vendor_id = vendor;
    answer.desc.device_id = 0x2684;
    answer.desc.dedicated_video_memory = dedicated;
    answer.desc.shared_system_memory = shared;
    answer.memory_info.budget = dedicated - dedicated / 16;
    answer.memory_info.current_usage = dedicated / 20;
    return answer;
}

AdapterAnswer software_renderer() {
    AdapterAnswer answer = adapter(u"Microsoft Basic Render Driver", 0x1414, 0, 16 * kGib);
    answer.desc.flags = win::kDxgiAdapterFlagSoftware;
    return answer;
}

void add_drive(MachineProfile& profile, char letter, std::uint32_t type, std::uint64_t total, bool ssd) {
    profile.logical_drives |= 1u << (letter - 'A');
    DriveAnswer& drive = profile.drives[letter];
    drive.type = type;
    drive.total = total;
    drive.free_to_caller = total / 3;
    drive.incurs_seek_penalty = !ssd;
}

MachineProfile desktop() {
    MachineProfile profile;
    profile.source = "benchmark desktop";
    set_cpu(profile, "AMD Ryzen 7 7700X 8-Core Processor            ", 8, 16, 4500, 5400, true);
    set_memory(profile, 32 * kGib, 20 * kGib);
    profile.dxgi.adapters = {adapter(u"NVIDIA GeForce RTX 4070", 0x10DE, 12 * kGib, 16 * kGib), software_renderer()};
    profile.nvml.present = true;
    profile.nvml.devices[0] = working_nvml_device(profile.dxgi.adapters[0].desc, 10501, 192);
    add_drive(profile, 'C', win::kDriveFixed, 1000 * kGib, true);
    return profile;
}

MachineProfile workstation() {
    MachineProfile profile;
    profile.source = "benchmark workstation";
    set_cpu(profile, "13th Gen Intel(R) Core(TM) i9-13900K", 24, 32, 3000, 5800, false);
    set_memory(profile, 128 * kGib, 96 * kGib);
    profile.dxgi.adapters = {adapter(u"NVIDIA GeForce RTX 4090", 0x10DE, 24 * kGib, 64 * kGib),
                             adapter(u"AMD Radeon RX 7900 XTX", 0x1002, 24 * kGib, 64 * kGib),
                             adapter(u"Intel(R) Arc(TM) A770 Graphics", 0x8086, 16 * kGib, 64 * kGib),
                             adapter(u"Intel(R) UHD Graphics 770", 0x8086, 128 * 1048576ull, 64 * kGib),
                             software_renderer()};
    profile.nvml.present = true;
    profile.nvml.devices[0] = working_nvml_device(profile.dxgi.adapters[0].desc, 10501, 384);
    add_drive(profile, 'A', win::kDriveRemovable, 0, false);
    const char fixed[] = "CDEFGHIJ";
    for (std::uint64_t i = 0; i < 8; ++i) add_drive(profile, fixed[i], win::kDriveFixed, (i + 1) * 500 * kGib, i % 2 == 0);
    add_drive(profile, 'K', win::kDriveCdrom, 0, false);
    return profile;
}

}  // namespace

std::vector<SampleMachine> sample_machines() {
    return {{"one_adapter_one_drive", desktop()}, {"four_adapters_eight_drives", workstation()}};
}

}  // namespace mrv::bench
