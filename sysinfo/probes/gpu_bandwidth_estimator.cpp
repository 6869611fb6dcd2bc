#include "probes/gpu_bandwidth_estimator.h"

#include <cstdint>
#include <utility>

#include "probes/byte_pair_summary.h"
#include "probes/nvml_api.h"

namespace mrv {
namespace {

constexpr double kBytesToGib = 1.0 / 1073741824.0;  // 2^-30
constexpr double kBitsToBytes = 0.125;
constexpr double kMegaToGiga = 1000.0;
constexpr double kMobileDerating = 0.85;  // table estimates of laptop parts only

// What memory can physically have: GDDR7 parts report about 14,000 MHz, HBM
// 1,200 to 2,600; HBM3e stacks give 8,192 bits. A figure outside this is a
// driver's or shim's sentinel (0xFFFFFFFF among them), not a measurement.
constexpr std::uint32_t kMaxMemoryClockMhz = 50000;
constexpr std::uint32_t kMaxBusWidthBits = 16384;

bool physically_possible(std::uint32_t clock_mhz, std::uint32_t bus_width_bits) {
    return clock_mhz >= 1 && clock_mhz <= kMaxMemoryClockMhz && bus_width_bits >= 1 &&
           bus_width_bits <= kMaxBusWidthBits;
}

}  // namespace

template <typename Entry>
std::vector<GpuBandwidthEstimator::IndexedPattern> GpuBandwidthEstimator::index_patterns(
    const std::vector<Entry>& entries) {
    std::vector<IndexedPattern> index;
    for (std::size_t entry = 0; entry < entries.size(); ++entry)
        for (const std::string& pattern : entries[entry].patterns)
            index.push_back({byte_pair_summary(pattern), entry, pattern});
    return index;
}

GpuBandwidthEstimator::GpuBandwidthEstimator(const char* table_path) {
    loaded_ = load_tables(table_path, [this](ArchitectureTables&& tables) { adopt(std::move(tables)); });
}

GpuBandwidthEstimator::GpuBandwidthEstimator(ArchitectureTables tables, bool loaded) : loaded_(loaded) {
    adopt(std::move(tables));
}

void GpuBandwidthEstimator::adopt(ArchitectureTables&& tables) {
    std::vector<IndexedPattern> architecture_index = index_patterns(tables.architectures);
    std::vector<IndexedPattern> memory_type_index = index_patterns(tables.memory_types);
    std::vector<IndexedPattern> mobile_index;
    for (const std::string& pattern : tables.mobile_patterns)
        mobile_index.push_back({byte_pair_summary(pattern), 0, pattern});
    architectures_ = std::move(tables.architectures);
    memory_types_ = std::move(tables.memory_types);
    mobile_patterns_ = std::move(tables.mobile_patterns);
    igpu_patterns_ = std::move(tables.igpu_patterns);
    architecture_index_ = std::move(architecture_index);
    memory_type_index_ = std::move(memory_type_index);
    mobile_index_ = std::move(mobile_index);
}

bool GpuBandwidthEstimator::name_matches(const std::string& name, const std::string& pattern) const {
    if (pattern.size() > name.size()) return false;
    if (pattern.empty()) return true;
    return name.find(pattern) != std::string::npos;
}

GpuBandwidthEstimator::Name GpuBandwidthEstimator::summarised(const std::string& name) {
    return {name, byte_pair_summary(name)};
}

std::ptrdiff_t GpuBandwidthEstimator::first_match(const std::vector<IndexedPattern>& index, const Name& name) const {
    if (!loaded_) return -1;
    for (const IndexedPattern& pattern : index)
        if (may_contain(name.pairs, pattern.pairs) && name_matches(name.text, pattern.text))
            return static_cast<std::ptrdiff_t>(pattern.entry);
    return -1;
}

const ArchitectureEntry* GpuBandwidthEstimator::find_architecture(const Name& name) const {
    const std::ptrdiff_t entry = first_match(architecture_index_, name);
    return entry < 0 ? nullptr : &architectures_[static_cast<std::size_t>(entry)];
}

std::string GpuBandwidthEstimator::detect_architecture(const std::string& name) const {
    const ArchitectureEntry* entry = find_architecture(summarised(name));
    return entry == nullptr ? std::string() : entry->name;
}

std::string GpuBandwidthEstimator::detect_memory_type(const Name& name) const {
    const std::ptrdiff_t entry = first_match(memory_type_index_, name);
    return entry < 0 ? std::string() : memory_types_[static_cast<std::size_t>(entry)].name;
}

std::string GpuBandwidthEstimator::detect_memory_type(const std::string& name) const {
    return detect_memory_type(summarised(name));
}

bool GpuBandwidthEstimator::detect_mobile(const Name& name) const { return first_match(mobile_index_, name) >= 0; }

bool GpuBandwidthEstimator::detect_mobile(const std::string& name) const { return detect_mobile(summarised(name)); }

double GpuBandwidthEstimator::measure_with_nvml(Platform& platform, NvmlDevice device) const {
    // The binding loaded the module and never frees it; its further entry
    // points are resolved afresh at each use.
    const Handle module = platform.get_module_handle(nvml::kLibraryName);
    if (module == 0) return 0.0;
    // The maximum memory clock: the current one is a power state's (405 MHz
    // at rest, a little below the maximum under load), not the memory's.
    const Symbol max_clock_info = platform.get_proc_address(module, nvml::kDeviceGetMaxClockInfoName);
    const Symbol bus_width_entry = platform.get_proc_address(module, nvml::kDeviceGetBusWidthName);
    if (max_clock_info == 0 || bus_width_entry == 0) return 0.0;
    std::uint32_t clock_mhz = 0;
    std::uint32_t bus_width_bits = 0;
    if (platform.call_nvml_device_clock_query(max_clock_info, device, nvml::kClockMem, clock_mhz) !=
        nvml::kSuccess)
        return 0.0;
    if (platform.call_nvml_device_get_bus_width(bus_width_entry, device, bus_width_bits) != nvml::kSuccess)
        return 0.0;
    if (!physically_possible(clock_mhz, bus_width_bits)) return 0.0;
    // Double data rate, bits to bytes, MB/s to GB/s.
    const double clock = static_cast<double>(clock_mhz);
    return (clock + clock) * static_cast<double>(bus_width_bits) * kBitsToBytes / kMegaToGiga;
}

double GpuBandwidthEstimator::table_estimate(const GpuInfo& gpu, const ArchitectureEntry* architecture) const {
    if (architecture == nullptr || !(architecture->coefficient > 0.0)) return 0.0;
    double bandwidth = static_cast<double>(gpu.dedicated_vram_bytes) * kBytesToGib * architecture->coefficient;
    if (gpu.is_mobile) bandwidth *= kMobileDerating;
    return bandwidth;
}

void GpuBandwidthEstimator::estimate(Platform& platform, GpuInfo& gpu, NvmlDevice device) const {
    const Name name = summarised(gpu.name);
    gpu.is_mobile = detect_mobile(name);
    const ArchitectureEntry* architecture = find_architecture(name);
    gpu.architecture = architecture == nullptr ? std::string() : architecture->name;
    gpu.memory_type = detect_memory_type(name);
    if (gpu.has_nvml_support && device != 0) {
        const double measured = measure_with_nvml(platform, device);
        if (measured > 0.0) {
            gpu.memory_bandwidth_gbs = measured;
            gpu.bandwidth_from_nvml = true;
            return;
        }
    }
    const double bandwidth = table_estimate(gpu, architecture);
    gpu.bandwidth_from_nvml = false;
    gpu.memory_bandwidth_gbs = bandwidth > 0.0 ? bandwidth : 0.0;
}

}  // namespace mrv
