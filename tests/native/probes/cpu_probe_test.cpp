#include "probes/cpu_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "boundary/request.h"
#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

std::uint32_t le_word(const std::string& bytes, std::size_t at) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4; ++i)
        word |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return word;
}

// Lays 48 brand bytes (NUL-padded) into leaves 0x80000002..4 as EAX, EBX, ECX, EDX.
void set_brand_leaves(MachineProfile& profile, std::string bytes, std::uint32_t highest = 0x80000008) {
    bytes.resize(48, '\0');
    profile.cpuid[{0x80000000, 0}] = {highest, 0, 0, 0};
    for (std::uint32_t i = 0; i < 3; ++i) {
        const std::size_t at = i * 16;
        profile.cpuid[{0x80000002 + i, 0}] = {le_word(bytes, at), le_word(bytes, at + 4), le_word(bytes, at + 8),
                                              le_word(bytes, at + 12)};
    }
}

void append_le(std::vector<std::uint8_t>& out, std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(word >> shift));
}

// The header of a SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX record: Relationship, Size.
void append_header(std::vector<std::uint8_t>& buffer, std::uint32_t relationship, std::uint32_t size) {
    append_le(buffer, relationship);
    append_le(buffer, size);
}

// A whole record, its body zero-filled (48 bytes is what Windows hands out for a core).
void append_record(std::vector<std::uint8_t>& buffer, std::uint32_t relationship, std::uint32_t size = 48) {
    append_header(buffer, relationship, size);
    buffer.resize(buffer.size() + size - 8, 0);
}

std::vector<std::uint8_t> core_records(int count) {
    std::vector<std::uint8_t> buffer;
    for (int i = 0; i < count; ++i) append_record(buffer, win::kRelationProcessorCore);
    return buffer;
}

RegistryValue dword(std::uint32_t value) {
    std::vector<std::uint8_t> bytes;
    append_le(bytes, value);
    return {win::kRegDword, bytes};
}

// Shaped after a 16-thread desktop part: 8 cores, "~MHz" 3600, "MaxMHz" 4500.
MachineProfile desktop_profile() {
    MachineProfile profile;
    profile.source = "hand-written: 8 cores / 16 threads desktop";
    set_brand_leaves(profile, "AMD Ryzen 7 5800X 8-Core Processor             ");
    profile.number_of_processors = 16;
    profile.topology.buffer = core_records(8);
    profile.registry[kProcessorKey].values = {{"~MHz", dword(3600)}, {"MaxMHz", dword(4500)}};
    return profile;
}

// One probe run on a profile, with the platform kept for its call log and ledger.
struct ProbeRun {
    explicit ProbeRun(MachineProfile profile) : platform(std::move(profile)) { probe_cpu(platform, cpu); }
    ProfilePlatform platform;
    CpuInfo cpu;
};

TEST(CpuBrand, TrimsOnlySpacesAndTabsAtTheEnds) {
    const struct {
        const char* name;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"leading, trailing and inner blanks", "   Intel(R)  Core(TM) i7 \t", "Intel(R)  Core(TM) i7"},
        {"right-justified old Intel text", "        Intel(R) Xeon(R) CPU E5-2680 0 @ 2.70GHz",
         "Intel(R) Xeon(R) CPU E5-2680 0 @ 2.70GHz"},
        {"tabs on both sides", "\t\tEPYC\t", "EPYC"},
        {"other control characters stay", "\nCPU\r", "\nCPU\r"},
        {"all spaces", std::string(48, ' '), ""},
        {"spaces and tabs only", " \t \t", ""},
        {"all zero bytes", std::string(48, '\0'), ""},
        {"text ends at the first zero byte", std::string("Core\0 hidden", 12), "Core"},
        {"48 characters without a zero byte", std::string(47, 'x') + "y", std::string(47, 'x') + "y"},
    };
    for (const auto& c : cases) {
        MachineProfile profile = desktop_profile();
        set_brand_leaves(profile, c.bytes);
        EXPECT_EQ(ProbeRun(profile).cpu.brand, c.expected) << c.name;
    }
}

// A hypervisor can put any bytes in the brand leaves; one that is not ASCII
// must not cost the whole document (the serialiser refuses invalid UTF-8).
TEST(CpuBrand, BytesOutsideAsciiBecomeQuestionMarks) {
    MachineProfile profile = desktop_profile();
    set_brand_leaves(profile, " Virtual\xAE CPU \xC3\x28\xFF\t");
    EXPECT_EQ(ProbeRun(profile).cpu.brand, "Virtual? CPU ?(?");

    ProfilePlatform platform(profile);
    const NvmlBinding no_nvml;
    const GpuBandwidthEstimator no_tables(ArchitectureTables{}, false);
    const std::string document = collect_capabilities_document({platform, no_nvml, no_tables});
    EXPECT_NE(document.find(R"("brand":"Virtual? CPU ?(?")"), std::string::npos) << document;
}

TEST(CpuBrand, NeedsLeaf0x80000004) {
    const struct {
        std::uint32_t highest;
        bool has_brand;
    } cases[] = {{0x80000003, false}, {0x80000004, true}, {0x80000008, true}, {0, false}, {0x7FFFFFFF, false}};
    for (const auto& c : cases) {
        MachineProfile profile = desktop_profile();
        set_brand_leaves(profile, "Brand", c.highest);
        const ProbeRun run(profile);
        EXPECT_EQ(run.cpu.brand, c.has_brand ? "Brand" : "") << std::hex << c.highest;
        const auto& calls = run.platform.calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "cpuid(0x80000002,0)"), c.has_brand ? 1 : 0);
    }
}

TEST(CpuCores, LogicalCountComesFromSystemInfo) {
    for (const std::uint32_t processors : {1u, 16u, 64u}) {
        MachineProfile profile = desktop_profile();
        profile.number_of_processors = processors;
        EXPECT_EQ(ProbeRun(profile).cpu.logical_cores, static_cast<std::int32_t>(processors));
    }
}

TEST(CpuCores, TopologyWalkAndItsFallbacks) {
    std::vector<std::uint8_t> mixed;
    append_record(mixed, win::kRelationProcessorCore);
    append_record(mixed, 3, 80);  // RelationProcessorPackage: walked over, not counted
    append_record(mixed, win::kRelationProcessorCore, 48);
    append_record(mixed, win::kRelationProcessorCore, 56);

    std::vector<std::uint8_t> zero_size = core_records(2);
    append_header(zero_size, win::kRelationProcessorCore, 0);
    zero_size.resize(zero_size.size() + 40, 0);

    std::vector<std::uint8_t> overrunning = core_records(3);
    append_record(overrunning, win::kRelationProcessorCore, 48);
    overrunning.resize(overrunning.size() - 8);  // last record claims 48 bytes, 40 are there
    std::vector<std::uint8_t> huge_size = core_records(1);
    append_header(huge_size, win::kRelationProcessorCore, 0xFFFFFFF0u);
    huge_size.resize(huge_size.size() + 40, 0);

    std::vector<std::uint8_t> short_tail = core_records(2);
    short_tail.insert(short_tail.end(), {0, 0, 0, 0, 48, 0});  // not even a header

    std::vector<std::uint8_t> below_header = core_records(1);
    append_header(below_header, win::kRelationProcessorCore, 4);
    below_header.resize(below_header.size() + 44, 0);

    const struct {
        const char* name;
        TopologyAnswer topology;
        std::uint32_t logical;
        std::int32_t expected_physical;
    } cases[] = {
        {"one record per core", {core_records(8), 0, 0}, 16, 8},
        {"records of other kinds are skipped by Size", {mixed, 0, 0}, 8, 3},
        {"succeeds with zero records", {{}, 0, 0}, 12, 12},
        {"size query fails with another error", {core_records(8), win::kErrorAccessDenied, 0}, 6, 6},
        {"second call fails", {core_records(8), 0, win::kErrorAccessDenied}, 6, 6},
        {"more than 64 logical processors", {core_records(96), 0, 0}, 64, 96},
        {"Size 0 stops the walk", {zero_size, 0, 0}, 8, 2},
        {"record past the returned length stops the walk", {overrunning, 0, 0}, 8, 3},
        {"Size near 2^32 stops the walk", {huge_size, 0, 0}, 8, 1},
        {"tail shorter than a header is ignored", {short_tail, 0, 0}, 8, 2},
        {"Size below the header stops the walk", {below_header, 0, 0}, 8, 1},
        {"Size 0 first gives the logical count", {std::vector<std::uint8_t>(48, 0), 0, 0}, 8, 8},
    };
    for (const auto& c : cases) {
        MachineProfile profile = desktop_profile();
        profile.topology = c.topology;
        profile.number_of_processors = c.logical;
        const ProbeRun run(profile);
        EXPECT_EQ(run.cpu.physical_cores, c.expected_physical) << c.name;
        EXPECT_EQ(run.cpu.logical_cores, static_cast<std::int32_t>(c.logical)) << c.name;
    }
}

TEST(CpuCores, TopologyIsAskedForItsSizeThenFilled) {
    const ProbeRun run(desktop_profile());
    std::vector<std::string> topology_calls;
    for (const auto& call : run.platform.calls())
        if (call.rfind("GetLogicalProcessorInformationEx", 0) == 0 || call == "GetLastError()")
            topology_calls.push_back(call);
    EXPECT_EQ(topology_calls, (std::vector<std::string>{"GetLogicalProcessorInformationEx(0,0)", "GetLastError()",
                                                        "GetLogicalProcessorInformationEx(0,384)"}));
    EXPECT_TRUE(run.platform.violations().empty());
}

TEST(CpuCores, AnotherErrorSkipsTheSecondCall) {
    MachineProfile profile = desktop_profile();
    profile.topology.size_query_error = win::kErrorAccessDenied;
    const ProbeRun run(profile);
    const auto& calls = run.platform.calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) {
                                return call.rfind("GetLogicalProcessorInformationEx", 0) == 0;
                            }),
              1);
}

TEST(CpuClocks, ReadOnlyDwordValuesOfTheProcessorKey) {
    const RegistryValue max_as_text{win::kRegSz, {'4', '5', '0', '0', 0}};
    const RegistryValue short_text{win::kRegSz, {'4', '5', 0}};
    const RegistryValue qword{11, {0x94, 0x11, 0, 0, 0, 0, 0, 0}};  // REG_QWORD 4500
    const RegistryValue long_dword{win::kRegDword, {0x94, 0x11, 0, 0, 0, 0, 0, 0}};
    const struct {
        const char* name;
        std::map<std::string, RegistryValue> values;
        std::int32_t open_status;
        std::int32_t base;
        std::int32_t max;
    } cases[] = {
        {"both DWORDs", {{"~MHz", dword(3600)}, {"MaxMHz", dword(4500)}}, 0, 3600, 4500},
        {"MaxMHz as REG_SZ", {{"~MHz", dword(3600)}, {"MaxMHz", max_as_text}}, 0, 3600, 0},
        {"MaxMHz as a short REG_SZ", {{"~MHz", dword(3600)}, {"MaxMHz", short_text}}, 0, 3600, 0},
        {"MaxMHz absent", {{"~MHz", dword(2893)}}, 0, 2893, 0},
        {"MaxMHz 8 bytes as REG_QWORD", {{"~MHz", dword(3600)}, {"MaxMHz", qword}}, 0, 3600, 0},
        {"MaxMHz 8 bytes typed REG_DWORD", {{"~MHz", dword(3600)}, {"MaxMHz", long_dword}}, 0, 3600, 0},
        {"~MHz absent", {{"MaxMHz", dword(4500)}}, 0, 0, 4500},
        {"key cannot be opened", {{"~MHz", dword(3600)}, {"MaxMHz", dword(4500)}}, 5, 0, 0},
    };
    for (const auto& c : cases) {
        MachineProfile profile = desktop_profile();
        profile.registry[kProcessorKey] = RegistryKey{c.open_status, c.values};
        const ProbeRun run(profile);
        EXPECT_EQ(run.cpu.base_frequency_mhz, c.base) << c.name;
        EXPECT_EQ(run.cpu.max_frequency_mhz, c.max) << c.name;
        EXPECT_TRUE(run.platform.all_released()) << c.name;
        EXPECT_EQ(run.platform.counts(ResourceKind::RegistryKey).acquired, c.open_status == 0 ? 2u : 0u) << c.name;
    }
}

TEST(CpuClocks, MissingKeyLeavesBothZero) {
    MachineProfile profile = desktop_profile();
    profile.registry.clear();
    const ProbeRun run(profile);
    EXPECT_EQ(run.cpu.base_frequency_mhz, 0);
    EXPECT_EQ(run.cpu.max_frequency_mhz, 0);
}

TEST(CpuFlags, EachBitFromItsLeafAndRegister) {
    struct Flags {
        bool fma, f16c, avx2, avx512;
        bool operator==(const Flags& o) const {
            return fma == o.fma && f16c == o.f16c && avx2 == o.avx2 && avx512 == o.avx512;
        }
    };
    const struct {
        const char* name;
        CpuidResult leaf1;
        CpuidResult leaf7;
        Flags expected;
    } cases[] = {
        {"none", {}, {}, {false, false, false, false}},
        {"FMA: leaf 1 ECX bit 12", {0, 0, 1u << 12, 0}, {}, {true, false, false, false}},
        {"F16C: leaf 1 ECX bit 29", {0, 0, 1u << 29, 0}, {}, {false, true, false, false}},
        {"AVX2: leaf 7 EBX bit 5", {}, {0, 1u << 5, 0, 0}, {false, false, true, false}},
        {"AVX-512F: leaf 7 EBX bit 16", {}, {0, 1u << 16, 0, 0}, {false, false, false, true}},
        {"all four", {0, 0, (1u << 12) | (1u << 29), 0}, {0, (1u << 5) | (1u << 16), 0, 0}, {true, true, true, true}},
        {"every other bit set", {~0u, ~0u, ~((1u << 12) | (1u << 29)), ~0u}, {~0u, ~((1u << 5) | (1u << 16)), ~0u, ~0u},
         {false, false, false, false}},
    };
    for (const auto& c : cases) {
        MachineProfile profile = desktop_profile();
        profile.cpuid[{1, 0}] = c.leaf1;
        profile.cpuid[{7, 0}] = c.leaf7;
        profile.cpuid[{7, 1}] = {~0u, ~0u, ~0u, ~0u};  // sub-leaf 1 must not be read
        const CpuInfo cpu = ProbeRun(profile).cpu;
        EXPECT_TRUE((Flags{cpu.has_fma, cpu.has_f16c, cpu.has_avx2, cpu.has_avx512} == c.expected)) << c.name;
    }
}

TEST(CpuProbe, LeavesTheEstimateToTheAssessment) {
    MachineProfile profile = desktop_profile();
    ProfilePlatform platform{profile};
    CpuInfo cpu;
    cpu.estimated_flops = 123.0;
    probe_cpu(platform, cpu);
    EXPECT_EQ(cpu.estimated_flops, 123.0);
    EXPECT_EQ(cpu.brand, "AMD Ryzen 7 5800X 8-Core Processor");
    EXPECT_TRUE(platform.all_released());
}

TEST(CpuFlopsEstimate, CoresTimesClockTimesWidth) {
    const struct {
        const char* name;
        std::int32_t physical, base, max;
        bool avx2, avx512;
        double expected;
    } cases[] = {
        {"8 cores, base clock, AVX2", 8, 3600, 0, true, false, 5.76e10},
        {"max clock wins over base", 8, 3600, 4500, true, false, 7.2e10},
        {"no cores, no clock, no AVX", 0, 0, 0, false, false, 2e9},
        {"negative counts are missing", -4, -1, -1, false, false, 2e9},
        {"AVX-512 without AVX2", 4, 0, 3000, false, true, 4.8e10},
        {"both flags give 4, not 8", 4, 0, 3000, true, true, 4.8e10},
        {"4 cores at 2500 MHz scalar", 4, 2500, 0, false, false, 1e10},
    };
    for (const auto& c : cases) {
        CpuInfo cpu;
        cpu.physical_cores = c.physical;
        cpu.logical_cores = 99;  // never used
        cpu.base_frequency_mhz = c.base;
        cpu.max_frequency_mhz = c.max;
        cpu.has_avx2 = c.avx2;
        cpu.has_avx512 = c.avx512;
        cpu.has_fma = cpu.has_f16c = true;  // play no part
        EXPECT_EQ(estimate_cpu_flops(cpu), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace mrv
