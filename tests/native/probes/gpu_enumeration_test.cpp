#include "probes/gpu_enumeration.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "assessment/gpu_choice.h"
#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

constexpr std::uint32_t kNvidia = 0x10DE;
constexpr std::uint32_t kAmd = 0x1002;
constexpr std::uint32_t kIntel = 0x8086;
constexpr std::uint64_t kGib = 1073741824;

AdapterAnswer hardware(const std::u16string& name, std::uint32_t vendor, std::uint64_t dedicated) {
    AdapterAnswer answer;
    std::copy(name.begin(), name.end(), answer.desc.description);
    answer.desc.vendor_id = vendor;
    answer.desc.dedicated_video_memory = dedicated;
    return answer;
}

AdapterAnswer software_renderer() {
    AdapterAnswer answer = hardware(u"Microsoft Basic Render Driver", 0x1414, 0);
    answer.desc.flags = win::kDxgiAdapterFlagSoftware;
    return answer;
}

AdapterAnswer failing_enum() {
    AdapterAnswer answer;
    answer.enum_result = win::kEFail;
    return answer;
}

AdapterAnswer failing_desc(const std::u16string& name) {
    AdapterAnswer answer = hardware(name, kNvidia, 8 * kGib);
    answer.desc_result = win::kEFail;
    return answer;
}

MachineProfile machine(std::vector<AdapterAnswer> adapters) {
    MachineProfile profile;
    profile.dxgi.adapters = std::move(adapters);
    return profile;
}

const GpuBandwidthEstimator& no_tables() {
    static const GpuBandwidthEstimator estimator(ArchitectureTables{}, false);
    return estimator;
}

std::vector<GpuInfo> enumerate(ProfilePlatform& platform, const GpuBandwidthEstimator& estimator = no_tables()) {
    const NvmlBinding nvml = open_nvml_binding(platform);
    std::vector<GpuInfo> gpus;
    enumerate_gpus(platform, nvml, estimator, gpus);
    return gpus;
}

// "name:score:discrete|integrated" per listed adapter, in list order.
std::string listing(const std::vector<GpuInfo>& gpus) {
    std::ostringstream out;
    for (const GpuInfo& gpu : gpus)
        out << (out.tellp() > 0 ? " " : "") << gpu.name << ":" << gpu.score << ":"
            << (gpu.is_discrete ? "discrete" : "integrated");
    return out.str();
}

std::vector<std::string> nvml_calls(const ProfilePlatform& platform) {
    std::vector<std::string> calls;
    for (const std::string& call : platform.calls())
        if (call.rfind("nvml", 0) == 0) calls.push_back(call);
    return calls;
}

struct ListingCase {
    const char* label;
    std::vector<AdapterAnswer> adapters;
    const char* expected;
};

// Cases print as their label, so test listings stay readable.
void PrintTo(const ListingCase& test_case, std::ostream* out) { *out << test_case.label; }

class Listing : public ::testing::TestWithParam<ListingCase> {};

TEST_P(Listing, ListsHardwareAdaptersByScore) {
    ProfilePlatform platform(machine(GetParam().adapters));
    EXPECT_EQ(listing(enumerate(platform)), GetParam().expected);
    EXPECT_TRUE(platform.all_released()) << platform.live_objects() << " live";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Listing,
    ::testing::Values(
        ListingCase{"only_software_renderer", {software_renderer()}, ""},
        ListingCase{"no_adapter_at_all", {}, ""},
        ListingCase{"software_then_hardware", {software_renderer(), hardware(u"AMD", kAmd, 8 * kGib)},
                    "AMD:1110:discrete"},
        ListingCase{"zero_dedicated_is_integrated_whatever_the_vendor",
                    {hardware(u"N", kNvidia, 0), hardware(u"A", kAmd, 0), hardware(u"I", kIntel, 0),
                     hardware(u"O", 0x5333, 0)},
                    "N:50:integrated A:30:integrated I:10:integrated O:0:integrated"},
        ListingCase{"amd_at_one_gib_and_one_byte_less",
                    {hardware(u"Less", kAmd, kGib - 1), hardware(u"Exact", kAmd, kGib)},
                    "Exact:1040:discrete Less:30:integrated"},
        ListingCase{"one_gib_rule_is_amd_only",
                    {hardware(u"Intel", kIntel, 128 * 1048576), hardware(u"Other", 0x1AB8, 1)},
                    "Intel:1010:discrete Other:1000:discrete"},
        ListingCase{"whole_gib_only", {hardware(u"Half", 0x1AB8, kGib + kGib / 2)}, "Half:1010:discrete"},
        ListingCase{"worked_scores",
                    {hardware(u"AMD 512M", kAmd, 512 * 1048576), hardware(u"NVIDIA 24G", kNvidia, 24 * kGib)},
                    "NVIDIA 24G:1290:discrete AMD 512M:30:integrated"},
        ListingCase{"equal_scores_keep_enumeration_order",
                    {hardware(u"first", kIntel, 0), hardware(u"second", kIntel, 0),
                     hardware(u"best", kNvidia, 2 * kGib), hardware(u"third", kIntel, 0)},
                    "best:1070:discrete first:10:integrated second:10:integrated third:10:integrated"},
        ListingCase{"absurd_memory_size_saturates_the_score", {hardware(u"Huge", kNvidia, ~0ull)},
                    "Huge:2147483647:discrete"},
        ListingCase{"failing_index_is_skipped", {failing_enum(), hardware(u"After", kIntel, 0)},
                    "After:10:integrated"},
        ListingCase{"failing_description_is_skipped", {failing_desc(u"Unread"), hardware(u"After", kIntel, 0)},
                    "After:10:integrated"}),
    [](const auto& test_case) { return std::string(test_case.param.label); });

// Beyond the handful of elements that a plain sort orders by insertion (and
// so stably), equal scores must still keep the enumeration order.
TEST(Sorting, ManyEqualScoresKeepEnumerationOrder) {
    std::vector<AdapterAnswer> adapters;
    std::vector<std::string> high;
    std::vector<std::string> low;
    for (int i = 0; i < 48; ++i) {
        const bool discrete = i % 3 == 1;
        const std::string name = (discrete ? "d" : "i") + std::to_string(i);
        adapters.push_back(hardware(std::u16string(name.begin(), name.end()), kIntel, discrete ? kGib : 0));
        (discrete ? high : low).push_back(name);
    }
    ProfilePlatform platform(machine(adapters));
    const std::vector<GpuInfo> gpus = enumerate(platform);
    std::vector<std::string> names;
    for (const GpuInfo& gpu : gpus) names.push_back(gpu.name);
    high.insert(high.end(), low.begin(), low.end());
    EXPECT_EQ(names, high);
}

TEST(AdapterRecord, FieldsComeFromTheDescriptionAndTheLocalSegment) {
    AdapterAnswer answer = hardware(u"NVIDIA GeForce RTX 4090", kNvidia, 24 * kGib);
    answer.desc.shared_system_memory = 16 * kGib;
    answer.desc.dedicated_system_memory = 7;
    answer.memory_info = VideoMemoryInfo{22 * kGib, 3 * kGib, 5, 6};
    ProfilePlatform platform(machine({answer}));
    const std::vector<GpuInfo> gpus = enumerate(platform);
    ASSERT_EQ(gpus.size(), 1u);
    const GpuInfo& gpu = gpus[0];
    EXPECT_EQ(gpu.name, "NVIDIA GeForce RTX 4090");
    EXPECT_EQ(gpu.vendor_id, kNvidia);
    EXPECT_EQ(gpu.dedicated_vram_bytes, 24 * kGib);
    EXPECT_EQ(gpu.shared_vram_bytes, 16 * kGib);
    EXPECT_EQ(gpu.vram_budget_bytes, 22 * kGib);
    EXPECT_EQ(gpu.current_vram_usage_bytes, 3 * kGib);
    EXPECT_FALSE(gpu.recommended_for_llm);
    EXPECT_FALSE(gpu.has_nvml_support);
    const auto& calls = platform.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "QueryVideoMemoryInfo(0,0)"), calls.end());
}

TEST(AdapterRecord, NameStopsAtTheFirstZeroAndAFullDescriptionStaysInBounds) {
    AdapterAnswer cut = hardware(u"Radeon", kAmd, 0);
    cut.desc.description[8] = u'X';  // after the terminator
    AdapterAnswer full = hardware(std::u16string(128, u'Ж'), kIntel, 0);
    ProfilePlatform platform(machine({cut, full}));
    const std::vector<GpuInfo> gpus = enumerate(platform);
    ASSERT_EQ(gpus.size(), 2u);
    EXPECT_EQ(gpus[0].name, "Radeon");
    std::string expected;
    for (int i = 0; i < 128; ++i) expected += "Ж";
    EXPECT_EQ(gpus[1].name, expected);
}

TEST(AdapterRecord, WithoutAdapter3OrItsQueryBudgetAndUsageStayZero) {
    AdapterAnswer no_interface = hardware(u"old", kIntel, kGib);
    no_interface.has_adapter3 = false;
    no_interface.memory_info = VideoMemoryInfo{1, 2, 3, 4};
    AdapterAnswer failing_query = hardware(u"failing", kIntel, kGib);
    failing_query.memory_info_result = win::kEFail;
    failing_query.memory_info = VideoMemoryInfo{1, 2, 3, 4};
    ProfilePlatform platform(machine({no_interface, failing_query}));
    for (const GpuInfo& gpu : enumerate(platform)) {
        EXPECT_EQ(gpu.vram_budget_bytes, 0u) << gpu.name;
        EXPECT_EQ(gpu.current_vram_usage_bytes, 0u) << gpu.name;
    }
    EXPECT_EQ(platform.counts(ResourceKind::DxgiAdapter3).acquired, 1u);
    EXPECT_TRUE(platform.all_released());
}

// A factory that is not created, or handed out with S_FALSE instead of S_OK
// (released at once): no adapter, no NVML lookup, no measurement.
TEST(DxgiObjects, AnyFactoryAnswerButSOkEndsEverythingAtOnce) {
    const struct {
        std::int32_t result;
        std::vector<std::string> calls;
        std::size_t factories;
    } cases[] = {
        {win::kENoInterface, {"CreateDXGIFactory1(IDXGIFactory4)"}, 0},
        {win::kEFail, {"CreateDXGIFactory1(IDXGIFactory4)"}, 0},
        {1, {"CreateDXGIFactory1(IDXGIFactory4)", "Release()"}, 1},  // S_FALSE
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        MachineProfile profile = machine({hardware(u"NVIDIA", kNvidia, 8 * kGib)});
        profile.dxgi.factory_result = c.result;
        profile.nvml.present = true;
        profile.nvml.devices[0] = working_nvml_device(profile.dxgi.adapters[0].desc, 10501, 384);
        ProfilePlatform platform(profile);
        const NvmlBinding nvml = open_nvml_binding(platform);
        ASSERT_TRUE(nvml.initialised);
        const std::size_t calls_before = platform.calls().size();
        std::vector<GpuInfo> gpus;
        enumerate_gpus(platform, nvml, no_tables(), gpus);
        EXPECT_TRUE(gpus.empty());
        const std::vector<std::string> calls(platform.calls().begin() + static_cast<std::ptrdiff_t>(calls_before),
                                             platform.calls().end());
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(platform.counts(ResourceKind::DxgiFactory).acquired, c.factories);
        EXPECT_TRUE(platform.all_released()) << (platform.violations().empty() ? "" : platform.violations().front());
    }
}

TEST(DxgiObjects, EachObjectIsReleasedOnceAndBeforeTheNextIsAskedFor) {
    AdapterAnswer no_interface = hardware(u"B", kIntel, 0);
    no_interface.has_adapter3 = false;
    MachineProfile profile = machine({software_renderer(), hardware(u"A", kNvidia, 8 * kGib), failing_enum(),
                                      failing_desc(u"unread"), no_interface});
    profile.nvml.present = true;
    profile.nvml.devices[0] = working_nvml_device(profile.dxgi.adapters[1].desc, 0, 0);
    ProfilePlatform platform(profile);
    enumerate(platform);

    EXPECT_TRUE(platform.all_released()) << (platform.violations().empty() ? "" : platform.violations().front());
    EXPECT_EQ(platform.counts(ResourceKind::DxgiFactory).acquired, 1u);
    EXPECT_EQ(platform.counts(ResourceKind::DxgiAdapter).acquired, 4u);
    EXPECT_EQ(platform.counts(ResourceKind::DxgiAdapter).released, 4u);
    EXPECT_EQ(platform.counts(ResourceKind::DxgiAdapter3).acquired, 1u);
    EXPECT_EQ(platform.counts(ResourceKind::DxgiAdapter3).released, 1u);
    // Releases after each EnumAdapters1 call and before the next: software renderer 1, full adapter 2
    // (IDXGIAdapter3, adapter), failing index 0, failing description 1, no IDXGIAdapter3 1, and after the
    // closing DXGI_ERROR_NOT_FOUND the factory, before any NVML device call.
    std::vector<int> releases;
    bool nvml_before_factory_release = false;
    for (const std::string& call : platform.calls()) {
        if (call.rfind("EnumAdapters1", 0) == 0) releases.push_back(0);
        if (call == "Release()" && !releases.empty()) ++releases.back();
        if (call.rfind("nvmlDevice", 0) == 0 && releases.size() == 6 && releases.back() == 0)
            nvml_before_factory_release = true;
    }
    EXPECT_EQ(releases, (std::vector<int>{1, 2, 0, 1, 1, 1}));
    EXPECT_FALSE(nvml_before_factory_release);
    EXPECT_EQ(nvml_calls(platform).size(), 5u) << "the NVIDIA adapter was asked for its device";
}

TEST(DxgiObjects, APlatformThatNeverEndsTheEnumerationIsCutOff) {
    ProfilePlatform platform(machine(std::vector<AdapterAnswer>(5000, failing_enum())));
    EXPECT_TRUE(enumerate(platform).empty());
    const auto& calls = platform.calls();
    const auto asked = std::count_if(calls.begin(), calls.end(),
                                     [](const std::string& call) { return call.rfind("EnumAdapters1", 0) == 0; });
    EXPECT_EQ(asked, 1024);
    EXPECT_TRUE(platform.all_released());
}

AdapterAnswer nvidia(const std::u16string& name, std::uint32_t device_id, std::uint32_t sub_sys_id,
                     std::uint64_t dedicated) {
    AdapterAnswer answer = hardware(name, kNvidia, dedicated);
    answer.desc.device_id = device_id;
    answer.desc.sub_sys_id = sub_sys_id;
    return answer;
}

// An NVML device with the PCI identity of `adapter`, its maximum memory clock and bus width.
NvmlDeviceAnswer device_of(const AdapterAnswer& adapter, std::uint32_t max_clock_mhz, std::uint32_t bus_width_bits) {
    NvmlDeviceAnswer device = working_nvml_device(adapter.desc, 405, bus_width_bits);  // at rest
    device.max_memory_clock_mhz = max_clock_mhz;
    return device;
}

const AdapterAnswer kRtx3070 = nvidia(u"NVIDIA GeForce RTX 3070", 0x2484, 0x38801028, 8 * kGib);
const AdapterAnswer kRtx4090 = nvidia(u"NVIDIA GeForce RTX 4090", 0x2684, 0x889e1043, 24 * kGib);
const AdapterAnswer kRtx3090 = nvidia(u"NVIDIA GeForce RTX 3090", 0x2204, 0x38801462, 24 * kGib);

// The usual machine of its kind: an AMD card of higher score ahead of the
// only NVIDIA adapter, which NVML, counting NVIDIA devices alone, calls 0.
MachineProfile nvidia_behind_amd() {
    MachineProfile profile = machine({kRtx3070, hardware(u"AMD Radeon Pro W7900", kAmd, 48 * kGib)});
    profile.nvml.present = true;
    profile.nvml.devices[0] = device_of(kRtx3070, 7001, 256);  // 448.064 GB/s
    profile.nvml.device_count = 1;
    return profile;
}

struct Measured {
    std::string name;
    double gbs;
    bool from_nvml;
};

std::vector<Measured> measured(const std::vector<GpuInfo>& gpus) {
    std::vector<Measured> out;
    for (const GpuInfo& gpu : gpus) out.push_back({gpu.name, gpu.memory_bandwidth_gbs, gpu.bandwidth_from_nvml});
    return out;
}

bool operator==(const Measured& a, const Measured& b) {
    return a.name == b.name && a.gbs == b.gbs && a.from_nvml == b.from_nvml;
}

void PrintTo(const Measured& m, std::ostream* out) {
    *out << m.name << ": " << m.gbs << (m.from_nvml ? " (NVML)" : " (table)");
}

TEST(NvmlPass, TheDeviceAtTheSortedPositionIsTakenWhenItsIdentityAgrees) {
    MachineProfile profile = nvidia_behind_amd();
    profile.nvml.devices[1] = profile.nvml.devices[0];
    profile.nvml.devices[0] = device_of(kRtx4090, 10501, 384);
    profile.nvml.device_count = 2;
    ProfilePlatform platform(profile);
    const std::vector<GpuInfo> gpus = enumerate(platform);
    ASSERT_EQ(gpus.size(), 2u);
    EXPECT_EQ(gpus[0].vendor_id, kAmd);
    EXPECT_FALSE(gpus[0].has_nvml_support);
    EXPECT_TRUE(gpus[1].has_nvml_support);
    EXPECT_EQ(measured(gpus)[1], (Measured{"NVIDIA GeForce RTX 3070", 448.064, true}));
    const std::vector<std::string> expected = {"nvmlInit_v2()", "nvmlDeviceGetHandleByIndex(1)",
                                               "nvmlDeviceGetPciInfo_v3()", "nvmlDeviceGetMaxClockInfo(2)",
                                               "nvmlDeviceGetBusWidth()"};
    EXPECT_EQ(nvml_calls(platform), expected);
    EXPECT_TRUE(platform.violations().empty());
}

TEST(NvmlPass, ADeviceElsewhereInNvmlOrderIsFoundByItsIdentity) {
    ProfilePlatform platform(nvidia_behind_amd());
    const std::vector<GpuInfo> gpus = enumerate(platform);
    ASSERT_EQ(gpus.size(), 2u);
    EXPECT_EQ(measured(gpus)[1], (Measured{"NVIDIA GeForce RTX 3070", 448.064, true}));
    const std::vector<std::string> expected = {
        "nvmlInit_v2()",           "nvmlDeviceGetHandleByIndex(1)", "nvmlDeviceGetCount()",
        "nvmlDeviceGetHandleByIndex(0)", "nvmlDeviceGetPciInfo_v3()",  "nvmlDeviceGetMaxClockInfo(2)",
        "nvmlDeviceGetBusWidth()"};
    EXPECT_EQ(nvml_calls(platform), expected);
    EXPECT_TRUE(platform.violations().empty());
}

TEST(NvmlPass, WithoutAnAgreeingDeviceTheTableEstimates) {
    ArchitectureTables tables;
    tables.architectures.push_back({"Ampere", 56, {"RTX 30"}});
    tables.architectures.push_back({"RDNA3", 10, {"Radeon Pro W7"}});
    const GpuBandwidthEstimator estimator(tables, true);
    const struct {
        const char* label;
        void (*change)(MachineProfile&);
    } cases[] = {
        {"another card", [](MachineProfile& p) { p.nvml.devices[0] = device_of(kRtx4090, 10501, 384); }},
        {"same chip, another board", [](MachineProfile& p) { p.nvml.devices[0].pci_sub_system_id = 0x38811028; }},
        {"identity unreadable", [](MachineProfile& p) { p.nvml.devices[0].pci_result = nvml::kErrorNotSupported; }},
        {"no handle", [](MachineProfile& p) { p.nvml.devices[0].handle_result = nvml::kErrorNotSupported; }},
        {"count fails", [](MachineProfile& p) { p.nvml.count_result = nvml::kErrorUnknown; }},
        {"no count entry", [](MachineProfile& p) { p.nvml.exports.erase("nvmlDeviceGetCount"); }},
    };
    for (const auto& c : cases) {
        MachineProfile profile = nvidia_behind_amd();
        c.change(profile);
        ProfilePlatform platform(profile);
        const std::vector<GpuInfo> gpus = enumerate(platform, estimator);
        ASSERT_EQ(gpus.size(), 2u) << c.label;
        EXPECT_EQ(measured(gpus), (std::vector<Measured>{{"AMD Radeon Pro W7900", 480.0, false},
                                                         {"NVIDIA GeForce RTX 3070", 448.0, false}}))
            << c.label;
        EXPECT_TRUE(gpus[1].has_nvml_support) << c.label;
        const auto calls = nvml_calls(platform);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "nvmlDeviceGetMaxClockInfo(2)"), 0) << c.label;
        EXPECT_TRUE(platform.violations().empty()) << c.label;
    }
}

// The 4090 drives the desktop, so DXGI lists it first; the 3090 sits on a
// lower bus, so NVML lists it first. Equal scores keep DXGI's order.
MachineProfile rtx4090_beside_rtx3090() {
    MachineProfile profile = machine({kRtx4090, kRtx3090});
    profile.nvml.present = true;
    profile.nvml.devices[0] = device_of(kRtx3090, 9751, 384);
    profile.nvml.devices[1] = device_of(kRtx4090, 10501, 384);
    profile.nvml.device_count = 2;
    return profile;
}

TEST(NvmlPass, TwoCardsInOppositeOrdersEachGetTheirOwnFigure) {
    ProfilePlatform platform(rtx4090_beside_rtx3090());
    const std::vector<GpuInfo> gpus = enumerate(platform);
    EXPECT_EQ(measured(gpus), (std::vector<Measured>{{"NVIDIA GeForce RTX 4090", 1008.096, true},
                                                     {"NVIDIA GeForce RTX 3090", 936.096, true}}));
    EXPECT_EQ(select_best_gpu(gpus), 0) << "the faster card is the one chosen";
    EXPECT_TRUE(platform.violations().empty());
}

TEST(NvmlPass, TwoIdenticalCardsAreServedOneDeviceEach) {
    MachineProfile profile = machine({kRtx3090, kRtx3090});
    profile.nvml.present = true;
    // Identical models; the clocks differ only so that the figures tell the devices apart.
    profile.nvml.devices[0] = device_of(kRtx3090, 9751, 384);
    profile.nvml.devices[1] = device_of(kRtx3090, 9501, 384);
    profile.nvml.device_count = 2;
    ProfilePlatform platform(profile);
    const std::vector<GpuInfo> gpus = enumerate(platform);
    EXPECT_EQ(measured(gpus), (std::vector<Measured>{{"NVIDIA GeForce RTX 3090", 936.096, true},
                                                     {"NVIDIA GeForce RTX 3090", 912.096, true}}));
    const auto calls = nvml_calls(platform);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "nvmlDeviceGetCount()"), 0) << "each agreed at its position";
}

TEST(NvmlPass, ADeviceGivenToAnEarlierAdapterIsNotGivenAgain) {
    // Two identical cards, but NVML shows only one of them.
    MachineProfile profile = machine({kRtx3090, kRtx3090});
    profile.nvml.present = true;
    profile.nvml.devices[0] = device_of(kRtx3090, 9751, 384);
    profile.nvml.device_count = 1;
    ProfilePlatform platform(profile);
    const std::vector<GpuInfo> gpus = enumerate(platform);
    EXPECT_EQ(measured(gpus), (std::vector<Measured>{{"NVIDIA GeForce RTX 3090", 936.096, true},
                                                     {"NVIDIA GeForce RTX 3090", 0.0, false}}));
    const std::vector<std::string> expected = {
        "nvmlInit_v2()",        "nvmlDeviceGetHandleByIndex(0)", "nvmlDeviceGetPciInfo_v3()",
        "nvmlDeviceGetMaxClockInfo(2)", "nvmlDeviceGetBusWidth()", "nvmlDeviceGetHandleByIndex(1)",
        "nvmlDeviceGetCount()"};
    EXPECT_EQ(nvml_calls(platform), expected);
}

TEST(NvmlPass, WithoutThePciEntryTheDeviceAtTheSortedPositionIsTaken) {
    MachineProfile profile = rtx4090_beside_rtx3090();
    profile.nvml.exports.erase("nvmlDeviceGetPciInfo_v3");
    ProfilePlatform platform(profile);
    const std::vector<GpuInfo> gpus = enumerate(platform);
    // Old drivers: position decides, and on this machine each card gets the other's figure.
    EXPECT_EQ(measured(gpus), (std::vector<Measured>{{"NVIDIA GeForce RTX 4090", 936.096, true},
                                                     {"NVIDIA GeForce RTX 3090", 1008.096, true}}));
    const std::vector<std::string> expected = {
        "nvmlInit_v2()",           "nvmlDeviceGetHandleByIndex(0)", "nvmlDeviceGetMaxClockInfo(2)",
        "nvmlDeviceGetBusWidth()", "nvmlDeviceGetHandleByIndex(1)", "nvmlDeviceGetMaxClockInfo(2)",
        "nvmlDeviceGetBusWidth()"};
    EXPECT_EQ(nvml_calls(platform), expected);
}

TEST(NvmlPass, AnAbsurdDeviceCountIsCutShort) {
    MachineProfile profile = nvidia_behind_amd();
    profile.nvml.devices[0] = device_of(kRtx4090, 10501, 384);
    profile.nvml.device_count = 0xFFFFFFFFu;
    ProfilePlatform platform(profile);
    enumerate(platform);
    const auto calls = nvml_calls(platform);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.rfind("nvmlDeviceGetHandleByIndex", 0) == 0; }),
              256);
}

TEST(NvmlPass, WithoutAnInitialisedBindingNoAdapterHasNvmlSupport) {
    const struct {
        const char* label;
        bool present;
        const char* missing_export;
        std::int32_t init_result;
    } cases[] = {{"absent", false, nullptr, nvml::kSuccess},
                 {"init fails", true, nullptr, nvml::kErrorUnknown},
                 {"no nvmlShutdown", true, "nvmlShutdown", nvml::kSuccess}};
    for (const auto& c : cases) {
        MachineProfile profile = nvidia_behind_amd();
        profile.nvml.present = c.present;
        profile.nvml.init_result = c.init_result;
        if (c.missing_export != nullptr) profile.nvml.exports.erase(c.missing_export);
        ProfilePlatform platform(profile);
        const std::vector<GpuInfo> gpus = enumerate(platform);
        ASSERT_EQ(gpus.size(), 2u) << c.label;
        for (const GpuInfo& gpu : gpus) {
            EXPECT_FALSE(gpu.has_nvml_support) << c.label;
            EXPECT_FALSE(gpu.bandwidth_from_nvml) << c.label;
        }
        for (const std::string& call : platform.calls())
            EXPECT_NE(call.rfind("nvmlDevice", 0), 0u) << c.label << ": " << call;
    }
}

TEST(NvmlPass, RequestsShareOneInitialisation) {
    ProfilePlatform platform(nvidia_behind_amd());
    const NvmlBinding nvml = open_nvml_binding(platform);
    for (int request = 0; request < 2; ++request) {
        std::vector<GpuInfo> gpus;
        enumerate_gpus(platform, nvml, no_tables(), gpus);
        ASSERT_EQ(gpus.size(), 2u);
        EXPECT_TRUE(gpus[1].bandwidth_from_nvml);
    }
    const auto calls = nvml_calls(platform);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "nvmlInit_v2()"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "nvmlDeviceGetHandleByIndex(0)"), 2);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "nvmlDeviceGetMaxClockInfo(2)"), 2);
}

}  // namespace
}  // namespace mrv
