#include "probes/gpu_enumeration.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "probes/dxgi_object.h"
#include "probes/nvml_device_matching.h"

namespace mrv {
namespace {

constexpr std::uint32_t kVendorNvidia = 0x10DE;
constexpr std::uint32_t kVendorAmd = 0x1002;
constexpr std::uint32_t kVendorIntel = 0x8086;
constexpr std::uint64_t kOneGib = 0x40000000;

// No real machine comes near this many adapters; the bound only keeps a
// platform that never answers DXGI_ERROR_NOT_FOUND from spinning forever.
constexpr std::uint32_t kMaxAdapterIndex = 1024;

bool failed(std::int32_t result) { return result < 0; }  // FAILED(hr)

std::int64_t vendor_bonus(std::uint32_t vendor_id) {
    switch (vendor_id) {
        case kVendorNvidia: return 50;
        case kVendorAmd: return 30;
        case kVendorIntel: return 10;
        default: return 0;
    }
}

// AMD reports small carve-outs of system memory as dedicated memory on its
// integrated parts, hence its 1 GiB threshold.
bool is_discrete_adapter(std::uint32_t vendor_id, std::uint64_t dedicated) {
    return dedicated != 0 && !(vendor_id == kVendorAmd && dedicated < kOneGib);
}

// Summed in 64 bits and held at the 32-bit maximum: a driver reporting an
// absurd memory size must not overflow the score.
std::int32_t adapter_score(bool discrete, std::uint64_t dedicated, std::uint32_t vendor_id) {
    const std::int64_t whole_gib = static_cast<std::int64_t>(dedicated >> 30);
    const std::int64_t score = (discrete ? 1000 : 0) + 10 * whole_gib + vendor_bonus(vendor_id);
    return static_cast<std::int32_t>(std::min<std::int64_t>(score, std::numeric_limits<std::int32_t>::max()));
}

std::u16string description_text(const AdapterDesc1& desc) {
    const char16_t* begin = std::begin(desc.description);
    return std::u16string(begin, std::find(begin, std::end(desc.description), u'\0'));
}

// The local segment's budget and usage; both stay 0 without IDXGIAdapter3.
void read_video_memory(Platform& platform, Handle adapter, GpuInfo& gpu) {
    Handle queried = 0;
    const std::int32_t result = platform.query_interface_adapter3(adapter, queried);
    const DxgiObject adapter3(platform, result, queried);
    if (!adapter3) return;
    VideoMemoryInfo info;
    if (platform.query_video_memory_info(adapter3.get(), 0, win::kDxgiMemorySegmentGroupLocal, info) ==
        win::kSOk) {
        gpu.vram_budget_bytes = info.budget;
        gpu.current_vram_usage_bytes = info.current_usage;
    }
}

GpuInfo adapter_record(Platform& platform, const NvmlBinding& nvml, Handle adapter, const AdapterDesc1& desc) {
    GpuInfo gpu;
    gpu.name = wide_to_utf8(platform, description_text(desc));
    gpu.vendor_id = desc.vendor_id;
    gpu.is_discrete = is_discrete_adapter(desc.vendor_id, desc.dedicated_video_memory);
    gpu.dedicated_vram_bytes = desc.dedicated_video_memory;
    gpu.shared_vram_bytes = desc.shared_system_memory;
    gpu.has_nvml_support = nvml.initialised && desc.vendor_id == kVendorNvidia;
    read_video_memory(platform, adapter, gpu);
    gpu.score = adapter_score(gpu.is_discrete, desc.dedicated_video_memory, desc.vendor_id);
    return gpu;
}

// A listed adapter and the PCI identity its NVML device must show.
struct ListedAdapter {
    GpuInfo gpu;
    PciIdentity identity;
};

// Every hardware adapter of the factory, each released before the next index.
// An index whose adapter or description cannot be had is skipped.
std::vector<ListedAdapter> list_adapters(Platform& platform, const NvmlBinding& nvml, Handle factory) {
    std::vector<ListedAdapter> gpus;
    for (std::uint32_t index = 0; index < kMaxAdapterIndex; ++index) {
        Handle found = 0;
        const std::int32_t result = platform.enum_adapters1(factory, index, found);
        if (result == win::kDxgiErrorNotFound) break;
        const DxgiObject adapter(platform, result, found);
        if (!adapter) continue;
        AdapterDesc1 desc;
        if (!failed(platform.get_desc1(adapter.get(), desc)) && (desc.flags & win::kDxgiAdapterFlagSoftware) == 0)
            gpus.push_back({adapter_record(platform, nvml, adapter.get(), desc),
                            PciIdentity{desc.vendor_id, desc.device_id, desc.sub_sys_id}});
    }
    return gpus;
}

// The adapters of a new factory, released before the list is returned. Any
// answer but S_OK gives none, yet a factory handed out with S_FALSE is
// released too.
std::vector<ListedAdapter> hardware_adapters(Platform& platform, const NvmlBinding& nvml) {
    Handle created = 0;
    const std::int32_t result = platform.create_dxgi_factory1_factory4(created);
    const DxgiObject factory(platform, result, created);
    if (result != win::kSOk || !factory) return {};
    return list_adapters(platform, nvml, factory.get());
}

}  // namespace

void enumerate_gpus(Platform& platform, const NvmlBinding& nvml, const GpuBandwidthEstimator& estimator,
                    std::vector<GpuInfo>& gpus) {
    std::vector<ListedAdapter> listed = hardware_adapters(platform, nvml);

    std::stable_sort(listed.begin(), listed.end(),
                     [](const ListedAdapter& a, const ListedAdapter& b) { return a.gpu.score > b.gpu.score; });
    NvmlDeviceMatcher devices(platform, nvml);
    for (std::size_t position = 0; position < listed.size(); ++position) {
        ListedAdapter& adapter = listed[position];
        estimator.estimate(platform, adapter.gpu,
                           devices.device_for(adapter.gpu, adapter.identity, static_cast<std::uint32_t>(position)));
    }

    for (ListedAdapter& adapter : listed) gpus.push_back(std::move(adapter.gpu));
}

}  // namespace mrv
