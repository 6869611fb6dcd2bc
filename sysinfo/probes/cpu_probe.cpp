// Decoding the processor's raw answers.
//
// Brand: CPUID 0x80000000 EAX is the highest extended leaf; the text lives
// in leaves 0x80000002..0x80000004, 16 bytes each in EAX, EBX, ECX, EDX order,
// little-endian, NUL-padded. Vendors pad it with spaces on either side (and
// some BIOSes with tabs), so only those two characters are trimmed. Bytes
// outside ASCII become '?'.
//
// Cores: GetSystemInfo counts the logical processors of the calling thread's
// group only, while the RelationProcessorCore records cover every group, so
// on machines with more than 64 logical processors physical can exceed
// logical; both are kept as obtained. The records have variable length:
// Relationship is the first 32-bit word, Size the second. A Size of 0 or a
// record reaching past the returned length would make the walk loop forever
// or read past the buffer, so the walk stops at the first such record.
//
// Flags: what the processor advertises; OS support for the wider register
// state is not checked, and leaf 7 is read without looking at the highest
// basic leaf.
#include "probes/cpu_probe.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "probes/registry_dword.h"

namespace mrv {
namespace {

constexpr std::uint32_t kHighestExtendedLeaf = 0x80000000;
constexpr std::uint32_t kBrandFirstLeaf = 0x80000002;
constexpr std::uint32_t kBrandLastLeaf = 0x80000004;

constexpr std::uint32_t kFmaBit = 1u << 12;       // leaf 1, ECX bit 12: FMA
constexpr std::uint32_t kF16cBit = 1u << 29;      // leaf 1, ECX bit 29: F16C
constexpr std::uint32_t kAvx2Bit = 1u << 5;       // leaf 7 sub-leaf 0, EBX bit 5: AVX2
constexpr std::uint32_t kAvx512fBit = 1u << 16;   // leaf 7 sub-leaf 0, EBX bit 16: AVX-512 Foundation

constexpr std::size_t kTopologyHeaderSize = 8;  // Relationship + Size

const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

void append_le(std::string& out, std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((word >> shift) & 0xFF);
}

std::uint32_t read_le(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::string read_brand(Platform& platform) {
    if (platform.cpuid(kHighestExtendedLeaf, 0).eax < kBrandLastLeaf) return {};
    std::string raw;
    for (std::uint32_t leaf = kBrandFirstLeaf; leaf <= kBrandLastLeaf; ++leaf) {
        const CpuidResult r = platform.cpuid(leaf, 0);
        append_le(raw, r.eax);
        append_le(raw, r.ebx);
        append_le(raw, r.ecx);
        append_le(raw, r.edx);
    }
    const std::size_t end = raw.find('\0');
    if (end != std::string::npos) raw.resize(end);
    const std::size_t first = raw.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    std::string brand = raw.substr(first, raw.find_last_not_of(" \t") - first + 1);
    // The brand is meant to be ASCII, but a hypervisor may put any bytes
    // there, and one byte that is not UTF-8 would make the document fail.
    for (char& c : brand)
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    return brand;
}

std::int32_t count_core_records(const std::vector<std::uint8_t>& buffer, std::uint32_t returned_length) {
    const std::size_t length = returned_length < buffer.size() ? returned_length : buffer.size();
    std::int32_t cores = 0;
    std::size_t offset = 0;
    while (offset < length) {
        if (length - offset < kTopologyHeaderSize) break;
        const std::uint32_t relationship = read_le(&buffer[offset]);
        const std::uint32_t size = read_le(&buffer[offset + 4]);
        if (size < kTopologyHeaderSize || size > length - offset) break;
        if (relationship == win::kRelationProcessorCore) ++cores;
        offset += size;
    }
    return cores;
}

// Number of processor-core records, or 0 when the topology cannot be read.
std::int32_t count_physical_cores(Platform& platform) {
    std::uint32_t length = 0;
    if (!platform.get_logical_processor_information_ex(win::kRelationProcessorCore, nullptr, length) &&
        platform.get_last_error() != win::kErrorInsufficientBuffer)
        return 0;
    std::vector<std::uint8_t> buffer(length, 0);
    if (!platform.get_logical_processor_information_ex(win::kRelationProcessorCore, buffer.data(), length))
        return 0;
    return count_core_records(buffer, length);
}

void read_clock(Platform& platform, const char* value_name, std::int32_t& mhz) {
    std::uint32_t value = 0;
    if (read_registry_dword(platform, kProcessorKey, value_name, value)) mhz = static_cast<std::int32_t>(value);
}

}  // namespace

void probe_cpu(Platform& platform, CpuInfo& cpu) {
    cpu.brand = read_brand(platform);

    cpu.logical_cores = static_cast<std::int32_t>(platform.get_system_info_number_of_processors());

    const std::int32_t cores = count_physical_cores(platform);
    cpu.physical_cores = cores > 0 ? cores : cpu.logical_cores;

    cpu.base_frequency_mhz = 0;
    cpu.max_frequency_mhz = 0;
    read_clock(platform, "~MHz", cpu.base_frequency_mhz);
    read_clock(platform, "MaxMHz", cpu.max_frequency_mhz);

    const CpuidResult leaf1 = platform.cpuid(1, 0);
    cpu.has_fma = (leaf1.ecx & kFmaBit) != 0;
    cpu.has_f16c = (leaf1.ecx & kF16cBit) != 0;
    const CpuidResult leaf7 = platform.cpuid(7, 0);
    cpu.has_avx2 = (leaf7.ebx & kAvx2Bit) != 0;
    cpu.has_avx512 = (leaf7.ebx & kAvx512fBit) != 0;
}

double estimate_cpu_flops(const CpuInfo& cpu) {
    const std::int32_t cores = cpu.physical_cores > 0 ? cpu.physical_cores : 1;
    const std::int32_t mhz = cpu.max_frequency_mhz > 0    ? cpu.max_frequency_mhz
                             : cpu.base_frequency_mhz > 0 ? cpu.base_frequency_mhz
                                                          : 2000;
    const double per_cycle = cpu.has_avx512 ? 4.0 : cpu.has_avx2 ? 2.0 : 1.0;
    return static_cast<double>(cores) * static_cast<double>(mhz) * per_cycle * 1000000.0;
}

}  // namespace mrv
