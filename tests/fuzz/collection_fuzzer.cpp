// Whole collections on machines made of fuzz bytes: every answer of every
// platform call is arbitrary (odd drivers, broken registry values, half an
// NVML, garbage topology records). Each request still answers with a
// complete document that keeps the rules every machine shares, and releases
// every object it acquired.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "boundary/request.h"
#include "fuzz_check.h"
#include "machine_profiles/profile_platform.h"
#include "probes/nvml_binding.h"

namespace {

using mrv::fuzz::require;
using nlohmann::json;

// Mostly the values a probe compares against, sometimes anything.
template <typename T>
T pick(FuzzedDataProvider& in, std::initializer_list<T> usual) {
    if (in.ConsumeBool()) return in.ConsumeIntegral<T>();
    return *(usual.begin() + in.ConsumeIntegralInRange<std::size_t>(0, usual.size() - 1));
}

void add_topology(FuzzedDataProvider& in, mrv::TopologyAnswer& topology) {
    const std::size_t records = in.ConsumeIntegralInRange<std::size_t>(0, 40);
    for (std::size_t i = 0; i < records; ++i) {
        const auto relationship = pick<std::uint32_t>(in, {0, 1, 2, 3, 4, 7});
        const auto size = pick<std::uint32_t>(in, {48, 48, 80, 8, 0});
        for (const std::uint32_t word : {relationship, size})
            for (int shift = 0; shift < 32; shift += 8)
                topology.buffer.push_back(static_cast<std::uint8_t>(word >> shift));
        topology.buffer.resize(topology.buffer.size() + in.ConsumeIntegralInRange<std::size_t>(0, 72), 0);
    }
    topology.size_query_error = pick<std::uint32_t>(in, {0, 0, 122, 5});
    topology.fill_error = pick<std::uint32_t>(in, {0, 0, 122, 87});
}

void add_registry(FuzzedDataProvider& in, mrv::MachineProfile& profile) {
    if (!in.ConsumeBool()) return;
    mrv::RegistryKey& key = profile.registry["HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"];
    key.open_status = pick<std::int32_t>(in, {0, 0, 2, 5});
    for (const char* name : {"~MHz", "MaxMHz"}) {
        if (!in.ConsumeBool()) continue;
        mrv::RegistryValue value;
        value.type = pick<std::uint32_t>(in, {4, 4, 1, 11, 3});
        value.data = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 8));
        key.values[name] = value;
    }
}

void add_adapters(FuzzedDataProvider& in, mrv::DxgiAnswer& dxgi) {
    dxgi.factory_result = pick<std::int32_t>(in, {0, 0, 0, mrv::win::kEFail, mrv::win::kENoInterface});
    dxgi.adapters.resize(in.ConsumeIntegralInRange<std::size_t>(0, 6));
    for (mrv::AdapterAnswer& adapter : dxgi.adapters) {
        adapter.enum_result = pick<std::int32_t>(in, {0, 0, 0, mrv::win::kEFail, mrv::win::kDxgiErrorNotFound});
        adapter.desc_result = pick<std::int32_t>(in, {0, 0, mrv::win::kEFail});
        const std::size_t units = in.ConsumeIntegralInRange<std::size_t>(0, 128);
        for (std::size_t i = 0; i < units; ++i) adapter.desc.description[i] = in.ConsumeIntegral<char16_t>();
        adapter.desc.vendor_id = pick<std::uint32_t>(in, {0x10DE, 0x1002, 0x8086, 0x1414});
        adapter.desc.device_id = pick<std::uint32_t>(in, {0x2684, 0x2204});
        adapter.desc.dedicated_video_memory = pick<std::uint64_t>(in, {0, 1ull << 30, (1ull << 30) - 1, 24ull << 30});
        adapter.desc.shared_system_memory = in.ConsumeIntegral<std::uint64_t>();
        adapter.desc.flags = pick<std::uint32_t>(in, {0, 0, 2});
        adapter.has_adapter3 = in.ConsumeBool();
        adapter.memory_info_result = pick<std::int32_t>(in, {0, 0, mrv::win::kEFail});
        adapter.memory_info = {in.ConsumeIntegral<std::uint64_t>(), in.ConsumeIntegral<std::uint64_t>(), 0, 0};
    }
}

void add_nvml(FuzzedDataProvider& in, mrv::NvmlAnswer& nvml) {
    nvml.present = in.ConsumeBool();
    for (const char* name : {"nvmlInit_v2", "nvmlShutdown", "nvmlDeviceGetHandleByIndex", "nvmlDeviceGetCount",
                             "nvmlDeviceGetPciInfo_v3", "nvmlDeviceGetMaxClockInfo", "nvmlDeviceGetBusWidth"})
        if (in.ConsumeIntegralInRange<int>(0, 7) == 0) nvml.exports.erase(name);
    nvml.init_result = pick<std::int32_t>(in, {0, 0, 0, 1, 999});
    nvml.count_result = pick<std::int32_t>(in, {0, 0, 999});
    nvml.device_count = pick<std::uint32_t>(in, {0, 1, 2, 6, 0xFFFFFFFFu});
    const std::size_t devices = in.ConsumeIntegralInRange<std::size_t>(0, 4);
    for (std::size_t i = 0; i < devices; ++i) {
        mrv::NvmlDeviceAnswer& device = nvml.devices[in.ConsumeIntegralInRange<std::uint32_t>(0, 5)];
        device.handle_result = pick<std::int32_t>(in, {0, 0, 2});
        device.pci_result = pick<std::int32_t>(in, {0, 0, 3});
        device.pci_device_id = pick<std::uint32_t>(in, {0x268410DE, 0x220410DE, 0});
        device.pci_sub_system_id = pick<std::uint32_t>(in, {0, 0, 0x38801462});
        device.clock_result = pick<std::int32_t>(in, {0, 0, 3});
        device.memory_clock_mhz = pick<std::uint32_t>(in, {0, 405, 7000});
        device.max_clock_result = pick<std::int32_t>(in, {0, 0, 3});
        device.max_memory_clock_mhz = pick<std::uint32_t>(in, {0, 10501, 7000});
        device.bus_width_result = pick<std::int32_t>(in, {0, 0, 3});
        device.bus_width_bits = pick<std::uint32_t>(in, {0, 384, 128});
    }
}

void add_drives(FuzzedDataProvider& in, mrv::MachineProfile& profile) {
    profile.logical_drives = in.ConsumeIntegral<std::uint32_t>();
    const std::size_t drives = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < drives; ++i) {
        mrv::DriveAnswer& drive = profile.drives[static_cast<char>('A' + in.ConsumeIntegralInRange<int>(0, 25))];
        drive.type = pick<std::uint32_t>(in, {3, 3, 2, 4, 5, 6, 0});
        drive.free_space_ok = in.ConsumeBool();
        drive.free_to_caller = in.ConsumeIntegral<std::uint64_t>();
        drive.total = in.ConsumeIntegral<std::uint64_t>();
        drive.open_ok = in.ConsumeBool();
        drive.ioctl_ok = in.ConsumeBool();
        drive.incurs_seek_penalty = in.ConsumeBool();
    }
}

mrv::MachineProfile machine_from(FuzzedDataProvider& in) {
    mrv::MachineProfile profile;
    for (const std::uint32_t leaf : {0x80000000u, 0x80000002u, 0x80000003u, 0x80000004u, 1u, 7u})
        if (in.ConsumeBool())
            profile.cpuid[{leaf, 0}] = {in.ConsumeIntegral<std::uint32_t>(), in.ConsumeIntegral<std::uint32_t>(),
                                        in.ConsumeIntegral<std::uint32_t>(), in.ConsumeIntegral<std::uint32_t>()};
    profile.number_of_processors = pick<std::uint32_t>(in, {0, 1, 4, 16, 128});
    add_topology(in, profile.topology);
    add_registry(in, profile);
    if (in.ConsumeBool()) {
        mrv::MemoryStatusEx memory;
        memory.total_phys = in.ConsumeIntegral<std::uint64_t>();
        memory.avail_phys = in.ConsumeIntegral<std::uint64_t>();
        memory.total_page_file = in.ConsumeIntegral<std::uint64_t>();
        memory.avail_page_file = in.ConsumeIntegral<std::uint64_t>();
        profile.memory_status = memory;
    }
    add_adapters(in, profile.dxgi);
    add_nvml(in, profile.nvml);
    add_drives(in, profile);
    return profile;
}

// The rules that hold on every machine, whatever its answers.
void check_document(const json& doc) {
    for (const char* key : {"capabilities", "cpu", "gpus", "memory", "storage"})
        require(doc.contains(key), "every top-level member is present");
    const json& gpus = doc["gpus"];
    const json& llm = doc["capabilities"]["llm_server"];
    const json& transcription = doc["capabilities"]["transcription"];
    require(llm["warnings"].size() <= 1 && transcription["warnings"].size() <= 1, "at most one warning a verdict");
    const std::int64_t best = llm["best_gpu_index"].get<std::int64_t>();
    require(best >= -1 && best < static_cast<std::int64_t>(gpus.size()), "the chosen adapter is one of the list");
    for (std::size_t i = 0; i < gpus.size(); ++i) {
        const json& gpu = gpus[i];
        require(gpu.size() == 15, "every adapter has its fifteen members");
        if (i > 0) require(gpus[i - 1]["score"] >= gpu["score"], "adapters are listed by score, highest first");
        require(gpu["recommended_for_llm"] == (static_cast<std::int64_t>(i) == best),
                "only the chosen adapter is recommended");
        if (gpu["has_nvml_support"] == true) require(gpu["vendor_id"] == 0x10DE, "NVML support is NVIDIA's alone");
        if (gpu["bandwidth_from_nvml"] == true) require(gpu["has_nvml_support"] == true, "measured only with NVML");
        require(gpu["memory_bandwidth_gbs"].is_number_float(), "the bandwidth is a finite number");
    }
    std::string previous;
    for (const json& drive : doc["storage"]) {
        const std::string letter = drive["drive_letter"].get<std::string>();
        require(letter.size() == 1 && letter[0] >= 'A' && letter[0] <= 'Z', "a drive letter is one of A to Z");
        require(previous < letter, "drives in ascending letter order, each once");
        previous = letter;
    }
    require(doc["cpu"]["estimated_flops"].is_number_float(), "the CPU estimate is a finite number");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    mrv::ProfilePlatform platform(machine_from(in));
    const mrv::NvmlBinding nvml = mrv::open_nvml_binding(platform);
    static const mrv::GpuBandwidthEstimator estimator(
        mrv::ArchitectureTables{{{"Ada", 42.0, {"RTX 40"}}, {"Any", 10.0, {""}}}, {}, {"Laptop"}, {}}, true);
    const mrv::LibraryContext context{platform, nvml, estimator};

    std::string buffer(262144, '\0');
    const std::int32_t length =
        mrv::answer_capabilities_request(context, buffer.data(), static_cast<std::int32_t>(buffer.size()));
    require(length > 0 && length < static_cast<std::int32_t>(buffer.size()), "the request answers with a document");
    const json doc = json::parse(buffer.substr(0, static_cast<std::size_t>(length)), nullptr, false);
    require(!doc.is_discarded(), "the document parses");
    check_document(doc);
    require(platform.violations().empty(), "the probes make no call the platform refuses");
    require(platform.all_released(), "every object acquired is released");
    return 0;
}
