// Every platform call of one whole collection, on a machine with something of
// everything, goes wrong in turn, in each way that call can go wrong. Every
// run must still give a complete document, release all it acquired, change
// nothing beyond what that call feeds, and leave what the call would have
// filled at its initial value.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "boundary/request.h"
#include "document/capabilities_document.h"
#include "machine_profiles/profile_platform.h"
#include "../support/fault_injecting_platform.h"

namespace mrv {
namespace {

using nlohmann::json;
using test::Call;
using test::CallRecord;
using test::Fault;
using test::FaultInjectingPlatform;

constexpr std::uint64_t kGib = 1ull << 30;
constexpr double kComputeCardClockMhz = 1215;  // A100 40GB HBM2: 1555.2 GB/s on 5120 bits
const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
const char* const kAdapterNames[] = {"Intel(R) UHD Graphics 770", "NVIDIA GeForce RTX 4090"};  // enumeration order
const std::uint32_t kAdapterVendors[] = {0x8086, 0x10DE};

std::uint32_t le_word(const std::string& bytes, std::size_t at) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4; ++i)
        word |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return word;
}

RegistryValue dword(std::uint32_t value) {
    return {win::kRegDword,
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

AdapterAnswer adapter(const std::u16string& name, std::uint32_t vendor, std::uint64_t dedicated,
                      VideoMemoryInfo memory) {
    AdapterAnswer answer;
    std::copy(name.begin(), name.end(), answer.desc.description);
    answer.desc.vendor_id = vendor;
    answer.desc.dedicated_video_memory = dedicated;
    answer.desc.shared_system_memory = 32 * kGib;
    answer.memory_info = memory;
    return answer;
}

DriveAnswer drive(std::uint32_t type, std::uint64_t free, std::uint64_t total, bool rotating) {
    DriveAnswer answer;
    answer.type = type;
    answer.free_to_caller = free;
    answer.total = total;
    answer.incurs_seek_penalty = rotating;
    return answer;
}

// A 24-core desktop with 64 GiB, an integrated Intel and a discrete NVIDIA
// adapter with NVML, an SSD "C", a DVD drive "D" and a hard disk "E".
MachineProfile rich_machine() {
    MachineProfile profile;
    profile.source = "hand-written: fault injection";
    std::string brand = "  Intel(R) Core(TM) i9-13900K";
    brand.resize(48, '\0');
    profile.cpuid[{0x80000000, 0}] = {0x80000008, 0, 0, 0};
    for (std::uint32_t i = 0; i < 3; ++i)
        profile.cpuid[{0x80000002 + i, 0}] = {le_word(brand, i * 16), le_word(brand, i * 16 + 4),
                                              le_word(brand, i * 16 + 8), le_word(brand, i * 16 + 12)};
    profile.cpuid[{1, 0}] = {0, 0, (1u << 12) | (1u << 29), 0};  // FMA, F16C
    profile.cpuid[{7, 0}] = {0, 1u << 5, 0, 0};                  // AVX2
    profile.number_of_processors = 32;
    for (int core = 0; core < 24; ++core) {
        const std::uint8_t record[8] = {0, 0, 0, 0, 48, 0, 0, 0};  // RelationProcessorCore, Size 48
        profile.topology.buffer.insert(profile.topology.buffer.end(), record, record + 8);
        profile.topology.buffer.resize(profile.topology.buffer.size() + 40, 0);
    }
    profile.registry[kProcessorKey].values = {{"~MHz", dword(3000)}, {"MaxMHz", dword(5800)}};
    MemoryStatusEx memory;
    memory.total_phys = 64 * kGib;
    memory.avail_phys = 40 * kGib;
    memory.total_page_file = 72 * kGib;
    memory.avail_page_file = 50 * kGib;
    profile.memory_status = memory;
    profile.dxgi.adapters = {
        adapter(u"Intel(R) UHD Graphics 770", 0x8086, 128 << 20, {kGib, 100 << 20, 0, 0}),
        adapter(u"NVIDIA GeForce RTX 4090", 0x10DE, 24 * kGib, {22 * kGib, 2 * kGib, 0, 0})};
    profile.nvml.present = true;
    // NVML's first device is a compute card in TCC mode, which DXGI does not
    // list; the 4090 is its second.
    AdapterDesc1 compute_card;
    compute_card.vendor_id = 0x10DE;
    compute_card.device_id = 0x20F1;  // A100 PCIe 40GB
    profile.nvml.devices[0] = working_nvml_device(compute_card, static_cast<std::uint32_t>(kComputeCardClockMhz), 5120);
    profile.nvml.devices[1] = working_nvml_device(profile.dxgi.adapters[1].desc, 10501, 384);
    profile.nvml.device_count = 2;
    profile.logical_drives = (1u << 2) | (1u << 3) | (1u << 4);
    profile.drives['C'] = drive(win::kDriveFixed, 100 * kGib, 1024 * kGib, false);
    profile.drives['D'] = drive(win::kDriveCdrom, 0, 0, false);
    profile.drives['E'] = drive(win::kDriveFixed, 2048 * kGib, 4096 * kGib, true);
    return profile;
}

const GpuBandwidthEstimator& small_table() {
    static const GpuBandwidthEstimator estimator(
        ArchitectureTables{{{"Ada Lovelace", 42.0, {"RTX 40"}}, {"Xe", 10.0, {"UHD"}}},
                           {{"GDDR6X", 1.0, {"4090"}}},
                           {"Laptop"},
                           {"UHD"}},
        true);
    return estimator;
}

struct Outcome {
    std::int32_t result = 0;
    json document;  // discarded when the result is no document
    bool fault_taken = false;
    std::vector<CallRecord> log;
    bool all_released = false;
    std::vector<std::string> violations;
};

// NVML opened and one request answered, both through the same faulty platform.
Outcome collect(std::size_t target, Fault fault) {
    ProfilePlatform profile{rich_machine()};
    FaultInjectingPlatform platform{profile, target, fault};
    const NvmlBinding nvml = open_nvml_binding(platform);
    const LibraryContext context{platform, nvml, small_table()};
    std::string buffer(65536, '\0');
    Outcome out;
    out.result = answer_capabilities_request(context, buffer.data(), static_cast<std::int32_t>(buffer.size()));
    out.document = out.result > 0 && out.result < static_cast<std::int32_t>(buffer.size())
                       ? json::parse(buffer.substr(0, static_cast<std::size_t>(out.result)), nullptr, false)
                       : json(json::value_t::discarded);
    out.fault_taken = platform.fault_taken();
    out.log = platform.log();
    out.all_released = profile.all_released();
    out.violations = profile.violations();
    return out;
}

enum class Kind { Text, Bool, Signed, Unsigned, Float, Texts, Array, Object };

bool of_kind(const json& value, Kind kind) {
    switch (kind) {
        case Kind::Text: return value.is_string();
        case Kind::Bool: return value.is_boolean();
        case Kind::Signed: return value.is_number_integer();
        case Kind::Unsigned: return value.is_number_unsigned();
        case Kind::Float: return value.is_number_float();
        case Kind::Array: return value.is_array();
        case Kind::Object: return value.is_object();
        case Kind::Texts:
            if (!value.is_array()) return false;
            for (const json& element : value)
                if (!element.is_string()) return false;
            return true;
    }
    return false;
}

void expect_shape(const json& object, const std::map<std::string, Kind>& shape, const std::string& where) {
    ASSERT_TRUE(object.is_object()) << where;
    EXPECT_EQ(object.size(), shape.size()) << where;
    for (const auto& [key, kind] : shape) {
        ASSERT_TRUE(object.contains(key)) << where << "." << key << " missing";
        EXPECT_TRUE(of_kind(object[key], kind)) << where << "." << key << " = " << object[key];
    }
}

// Every key of the document, each of its kind.
void expect_complete(const json& doc) {
    using K = Kind;
    expect_shape(doc, {{"capabilities", K::Object}, {"cpu", K::Object}, {"gpus", K::Array}, {"memory", K::Object},
                       {"storage", K::Array}}, "document");
    if (::testing::Test::HasFatalFailure()) return;
    expect_shape(doc["capabilities"], {{"llm_server", K::Object}, {"transcription", K::Object}}, "capabilities");
    if (::testing::Test::HasFatalFailure()) return;
    expect_shape(doc["capabilities"]["transcription"], {{"status", K::Text}, {"warnings", K::Texts}}, "transcription");
    expect_shape(doc["capabilities"]["llm_server"],
                 {{"best_gpu_index", K::Signed}, {"expected_tokens_per_sec", K::Float},
                  {"recommended_gpu_layers", K::Signed}, {"recommended_mode", K::Text},
                  {"recommended_threads", K::Signed}, {"status", K::Text}, {"warnings", K::Texts}},
                 "llm_server");
    expect_shape(doc["cpu"],
                 {{"base_frequency_mhz", K::Signed}, {"brand", K::Text}, {"estimated_flops", K::Float},
                  {"has_avx2", K::Bool}, {"has_avx512", K::Bool}, {"has_f16c", K::Bool}, {"has_fma", K::Bool},
                  {"logical_cores", K::Signed}, {"max_frequency_mhz", K::Signed}, {"physical_cores", K::Signed}},
                 "cpu");
    expect_shape(doc["memory"],
                 {{"available_page_file_bytes", K::Unsigned}, {"available_ram_bytes", K::Unsigned},
                  {"total_page_file_bytes", K::Unsigned}, {"total_ram_bytes", K::Unsigned}},
                 "memory");
    for (const json& gpu : doc["gpus"])
        expect_shape(gpu,
                     {{"architecture", K::Text}, {"bandwidth_from_nvml", K::Bool},
                      {"current_vram_usage_bytes", K::Unsigned}, {"dedicated_vram_bytes", K::Unsigned},
                      {"has_nvml_support", K::Bool}, {"is_discrete", K::Bool}, {"is_mobile", K::Bool},
                      {"memory_bandwidth_gbs", K::Float}, {"memory_type", K::Text}, {"name", K::Text},
                      {"recommended_for_llm", K::Bool}, {"score", K::Signed}, {"shared_vram_bytes", K::Unsigned},
                      {"vendor_id", K::Unsigned}, {"vram_budget_bytes", K::Unsigned}},
                     "gpu");
    for (const json& drive : doc["storage"])
        expect_shape(drive,
                     {{"drive_letter", K::Text}, {"free_space_bytes", K::Unsigned}, {"is_ssd", K::Bool},
                      {"total_space_bytes", K::Unsigned}},
                     "drive");
}

// One call of the untouched run, with what it serves: the registry value,
// the adapter (enumeration index), the drive letter.
struct Site {
    std::size_t index = 0;
    Call call = Call::Cpuid;
    std::string detail;
    std::string registry_value;
    int adapter = -1;
    char drive = 0;
};

Site site_at(const std::vector<CallRecord>& log, std::size_t index) {
    Site site{index, log[index].call, log[index].detail, {}, -1, 0};
    for (std::size_t i = index; i < log.size() && site.registry_value.empty(); ++i)
        if (log[i].call == Call::RegQueryValueEx) site.registry_value = log[i].detail;
    for (std::size_t i = 0; i <= index; ++i) {
        const CallRecord& record = log[i];
        if (record.call == Call::EnumAdapters1) site.adapter = std::stoi(record.detail);
        if (record.call == Call::GetDriveType || record.call == Call::GetDiskFreeSpaceEx) site.drive = record.detail[0];
        if (record.call == Call::CreateFile) site.drive = record.detail[4];
    }
    return site;
}

const json* gpu_named(const json& doc, const std::string& name) {
    for (const json& gpu : doc["gpus"])
        if (gpu["name"] == name) return &gpu;
    return nullptr;
}

const json* drive_lettered(const json& doc, char letter) {
    for (const json& drive : doc["storage"])
        if (drive["drive_letter"] == std::string(1, letter)) return &drive;
    return nullptr;
}

// The top-level members a call can change: its own and the verdicts built on it.
std::set<std::string> fed_by(Call call) {
    switch (call) {
        case Call::Cpuid: case Call::GetSystemInfo: case Call::GetLogicalProcessorInformationEx:
        case Call::GetLastError: case Call::RegOpenKeyEx: case Call::RegQueryValueEx: case Call::RegCloseKey:
            return {"cpu", "capabilities"};
        case Call::GlobalMemoryStatusEx:
            return {"memory", "capabilities"};
        case Call::GetLogicalDrives: case Call::GetDriveType: case Call::GetDiskFreeSpaceEx: case Call::CreateFile:
        case Call::DeviceIoControl: case Call::CloseHandle:
            return {"storage"};  // no verdict reads the drives
        default:
            return {"gpus", "capabilities"};
    }
}

void expect_no_nvml(const json& doc) {
    for (const json& gpu : doc["gpus"]) {
        EXPECT_EQ(gpu["has_nvml_support"], false) << gpu["name"];
        EXPECT_EQ(gpu["bandwidth_from_nvml"], false) << gpu["name"];
    }
}

void expect_nvml_measurement_missed(const json& doc) {
    const json* nvidia = gpu_named(doc, kAdapterNames[1]);
    ASSERT_NE(nvidia, nullptr);
    EXPECT_EQ((*nvidia)["has_nvml_support"], true);
    EXPECT_EQ((*nvidia)["bandwidth_from_nvml"], false);
}

// Only the other adapter is listed.
void expect_adapter_missing(const json& doc, int adapter) {
    EXPECT_EQ(doc["gpus"].size(), 1u);
    EXPECT_EQ(gpu_named(doc, kAdapterNames[adapter]), nullptr);
    EXPECT_NE(gpu_named(doc, kAdapterNames[1 - adapter]), nullptr);
}

// What the faulty call would have filled is at its initial value (or shows the odd data).
void expect_effect(const Site& site, Fault fault, const json& doc, const json& base, const json& initial) {
    const json& cpu = doc["cpu"];
    const bool odd = fault == Fault::Oversized;
    switch (site.call) {
        case Call::Cpuid:
            if (site.detail == std::to_string(0x80000000u) || site.detail == std::to_string(0x80000002u)) {
                if (fault == Fault::Fail) {
                    EXPECT_EQ(cpu["brand"], "");
                }
            } else if (site.detail == "1") {
                EXPECT_EQ(cpu["has_fma"], odd);
                EXPECT_EQ(cpu["has_f16c"], odd);
            } else if (site.detail == "7") {
                EXPECT_EQ(cpu["has_avx2"], odd);
                EXPECT_EQ(cpu["has_avx512"], odd);
            }
            break;
        case Call::GetSystemInfo:
            EXPECT_EQ(cpu["logical_cores"], odd ? -1 : 0);
            EXPECT_EQ(cpu["physical_cores"], 24);
            break;
        case Call::GetLogicalProcessorInformationEx:
            if (fault == Fault::Fail || (fault == Fault::Short && site.detail == "size query"))
                EXPECT_EQ(cpu["physical_cores"], 32) << "falls back to the logical count";
            else if (fault == Fault::Short)
                EXPECT_EQ(cpu["physical_cores"], 23) << "the cut record is not counted";
            else
                EXPECT_EQ(cpu["physical_cores"], 24) << "nothing past the buffer is read";
            break;
        case Call::GetLastError:
            EXPECT_EQ(cpu["physical_cores"], 32);
            break;
        case Call::RegOpenKeyEx:
        case Call::RegQueryValueEx: {
            const bool base_clock = site.registry_value == "~MHz";
            EXPECT_EQ(cpu[base_clock ? "base_frequency_mhz" : "max_frequency_mhz"], 0);
            const char* other = base_clock ? "max_frequency_mhz" : "base_frequency_mhz";
            EXPECT_EQ(cpu[other], base["cpu"][other]);
            break;
        }
        case Call::GlobalMemoryStatusEx:
            EXPECT_EQ(doc["memory"], initial["memory"]);
            break;
        case Call::CreateDxgiFactory:
            EXPECT_EQ(doc["gpus"], json::array());
            break;
        case Call::EnumAdapters1:
            if (site.adapter >= 2) {
                EXPECT_EQ(doc, base);  // past the last adapter: the list ends either way
            } else if (fault == Fault::Short) {
                EXPECT_EQ(doc["gpus"].size(), static_cast<std::size_t>(site.adapter));
            } else {
                expect_adapter_missing(doc, site.adapter);
            }
            break;
        case Call::GetDesc1:
            if (odd) {
                const json* gpu = gpu_named(doc, [] {
                    std::string name;
                    for (int i = 0; i < 128; ++i) name += "Ж";
                    return name;
                }());
                ASSERT_NE(gpu, nullptr) << "a description without terminator is read to its end";
                EXPECT_EQ((*gpu)["vendor_id"], kAdapterVendors[site.adapter]);
            } else {
                expect_adapter_missing(doc, site.adapter);
            }
            break;
        case Call::QueryInterfaceAdapter3:
        case Call::QueryVideoMemoryInfo: {
            const json* gpu = gpu_named(doc, kAdapterNames[site.adapter]);
            ASSERT_NE(gpu, nullptr);
            EXPECT_EQ((*gpu)["vram_budget_bytes"], odd ? ~0ull : 0ull);
            EXPECT_EQ((*gpu)["current_vram_usage_bytes"], odd ? ~0ull : 0ull);
            break;
        }
        case Call::WideCharToMultiByte: {
            const json* gpu = gpu_named(doc, "");
            ASSERT_NE(gpu, nullptr) << "a conversion that went wrong leaves the name empty";
            EXPECT_EQ((*gpu)["vendor_id"], kAdapterVendors[site.adapter]);
            EXPECT_NE(gpu_named(doc, kAdapterNames[1 - site.adapter]), nullptr);
            break;
        }
        case Call::LoadLibrary:
        case Call::NvmlInit:
            expect_no_nvml(doc);
            break;
        case Call::GetProcAddress:
            if (site.detail == "nvmlInit_v2" || site.detail == "nvmlShutdown" ||
                site.detail == "nvmlDeviceGetHandleByIndex") {
                expect_no_nvml(doc);
            } else if (site.detail == "nvmlDeviceGetPciInfo_v3") {
                // Old drivers: the device at the adapter's position, whichever card it is.
                const json* nvidia = gpu_named(doc, kAdapterNames[1]);
                ASSERT_NE(nvidia, nullptr);
                EXPECT_EQ((*nvidia)["bandwidth_from_nvml"], true);
                EXPECT_DOUBLE_EQ((*nvidia)["memory_bandwidth_gbs"].get<double>(), kComputeCardClockMhz * 2 * 5120 / 8e3);
            } else {
                expect_nvml_measurement_missed(doc);
            }
            break;
        case Call::NvmlGetHandleByIndex:
        case Call::NvmlGetPciInfo:
            // The compute card was never the 4090's; without it the 4090 is still found.
            if (site.detail == "0")
                EXPECT_EQ(doc, base);
            else
                expect_nvml_measurement_missed(doc);
            break;
        case Call::NvmlGetCount:
            if (odd)
                EXPECT_EQ(doc, base) << "an absurd count is cut short and the 4090 still found";
            else
                expect_nvml_measurement_missed(doc);
            break;
        case Call::GetModuleHandle:
            expect_nvml_measurement_missed(doc);
            break;
        case Call::NvmlClockQuery:
        case Call::NvmlGetBusWidth:
            // A clock or width of every bit is no figure a card can have: the table decides.
            expect_nvml_measurement_missed(doc);
            break;
        case Call::GetLogicalDrives:
            EXPECT_EQ(doc["storage"], odd ? base["storage"] : json::array());
            break;
        case Call::GetDriveType:
            EXPECT_EQ(drive_lettered(doc, site.drive), nullptr);
            EXPECT_EQ(doc["storage"].size(), base["storage"].size() - (drive_lettered(base, site.drive) ? 1 : 0));
            break;
        case Call::GetDiskFreeSpaceEx: {
            const json* drive = drive_lettered(doc, site.drive);
            ASSERT_NE(drive, nullptr);
            EXPECT_EQ((*drive)["free_space_bytes"], 0u);
            EXPECT_EQ((*drive)["total_space_bytes"], 0u);
            EXPECT_EQ((*drive)["is_ssd"], (*drive_lettered(base, site.drive))["is_ssd"]);
            break;
        }
        case Call::CreateFile:
        case Call::DeviceIoControl: {
            const json* drive = drive_lettered(doc, site.drive);
            ASSERT_NE(drive, nullptr);
            if (odd)
                EXPECT_EQ(doc, base) << "a byte count beyond the buffer changes nothing";
            else
                EXPECT_EQ((*drive)["is_ssd"], false) << "a drive that did not answer is no SSD";
            break;
        }
        case Call::RegCloseKey:
        case Call::Release:
        case Call::CloseHandle:
            EXPECT_EQ(doc, base) << "a failing release changes nothing";
            break;
    }
}

const char* fault_name(Fault fault) {
    switch (fault) {
        case Fault::None: return "none";
        case Fault::Fail: return "fails";
        case Fault::FailAfterWriting: return "fails after writing garbage";
        case Fault::Short: return "short data";
        case Fault::Oversized: return "oversized data";
        case Fault::Empty: return "empty answer";
        case Fault::NotUtf8: return "not UTF-8";
        case Fault::OtherSuccess: return "success other than S_OK";
        case Fault::Throws: return "throws";
    }
    return "?";
}

TEST(FaultInjection, TheDecoratorWithoutFaultIsTransparent) {
    ProfilePlatform platform{rich_machine()};
    const NvmlBinding nvml = open_nvml_binding(platform);
    const json direct = json::parse(collect_capabilities_document({platform, nvml, small_table()}));
    const Outcome untouched = collect(0, Fault::None);
    EXPECT_EQ(untouched.document, direct);
    EXPECT_FALSE(untouched.fault_taken);

    // The machine has something of everything for the faults to hit.
    ASSERT_EQ(direct["gpus"].size(), 2u);
    EXPECT_EQ(direct["gpus"][0]["name"], kAdapterNames[1]);
    EXPECT_EQ(direct["gpus"][0]["bandwidth_from_nvml"], true);
    EXPECT_EQ(direct["gpus"][1]["architecture"], "Xe");
    EXPECT_EQ(direct["gpus"][1]["vram_budget_bytes"], kGib);
    EXPECT_EQ(direct["cpu"]["physical_cores"], 24);
    EXPECT_EQ(direct["cpu"]["max_frequency_mhz"], 5800);
    EXPECT_EQ(direct["memory"]["total_ram_bytes"], 64 * kGib);
    ASSERT_EQ(direct["storage"].size(), 2u);
    EXPECT_EQ(direct["storage"][0]["is_ssd"], true);
    EXPECT_EQ(direct["storage"][1]["is_ssd"], false);
}

TEST(FaultInjection, EveryCallGoingWrongInTurnStillGivesACompleteDocument) {
    const Outcome untouched = collect(0, Fault::None);
    ASSERT_FALSE(untouched.document.is_discarded());
    const json& base = untouched.document;
    const json initial = json::parse(build_capabilities_json(SystemSnapshot{}));

    std::size_t cases = 0;
    std::map<Fault, std::size_t> by_fault;
    std::set<std::size_t> hit;
    for (std::size_t index = 0; index < untouched.log.size(); ++index) {
        const Site site = site_at(untouched.log, index);
        for (const Fault fault : {Fault::Fail, Fault::FailAfterWriting, Fault::Short, Fault::Oversized, Fault::Empty,
                                  Fault::OtherSuccess}) {
            const Outcome faulted = collect(index, fault);
            if (!faulted.fault_taken) continue;
            ++cases;
            ++by_fault[fault];
            hit.insert(index);
            SCOPED_TRACE("call " + std::to_string(index) + " " + untouched.log[index].detail + " (kind " +
                         std::to_string(static_cast<int>(site.call)) + "): " + fault_name(fault));
            ASSERT_EQ(faulted.log[index].call, site.call);
            EXPECT_TRUE(faulted.all_released)
                << (faulted.violations.empty() ? "an object is still live" : faulted.violations.front());
            ASSERT_FALSE(faulted.document.is_discarded()) << "no document; the request returned " << faulted.result;
            expect_complete(faulted.document);
            for (const auto& [key, value] : base.items()) {
                if (fed_by(site.call).count(key) == 0) {
                    EXPECT_EQ(faulted.document[key], value) << key;
                }
            }
            expect_effect(site, fault, faulted.document, base, initial);
        }
    }
    for (std::size_t index = 0; index < untouched.log.size(); ++index)
        EXPECT_EQ(hit.count(index), 1u) << "call " << index << " never went wrong";
    std::cout << "fault-injection cases: " << cases << " over " << untouched.log.size() << " calls";
    for (const auto& [fault, count] : by_fault) std::cout << "; " << fault_name(fault) << ": " << count;
    std::cout << "\n";
    RecordProperty("fault_injection_cases", static_cast<int>(cases));
}

// An exception at any call from the factory's creation to its release (as an
// allocation failing while a name is converted or a record appended would
// raise it) ends the request with 0, and every DXGI object acquired until
// then, the factory, the adapter and its IDXGIAdapter3, is released once.
TEST(FaultInjection, AnExceptionDuringTheEnumerationReleasesEveryDxgiObject) {
    const Outcome untouched = collect(0, Fault::None);
    std::size_t factory_created = 0;
    while (untouched.log[factory_created].call != Call::CreateDxgiFactory) ++factory_created;
    std::size_t factory_released = untouched.log.size() - 1;  // the last Release of the collection
    while (untouched.log[factory_released].call != Call::Release) --factory_released;

    std::map<Call, std::size_t> by_call;
    for (std::size_t index = factory_created; index < factory_released; ++index) {
        if (untouched.log[index].call == Call::Release) continue;
        SCOPED_TRACE("call " + std::to_string(index) + " (kind " +
                     std::to_string(static_cast<int>(untouched.log[index].call)) + ")");
        const Outcome thrown = collect(index, Fault::Throws);
        ASSERT_TRUE(thrown.fault_taken);
        EXPECT_EQ(thrown.result, 0);
        EXPECT_TRUE(thrown.all_released)
            << (thrown.violations.empty() ? "an object is still live" : thrown.violations.front());
        ++by_call[untouched.log[index].call];
    }
    EXPECT_EQ(by_call[Call::WideCharToMultiByte], 4u) << "two passes for each of the two names";
    EXPECT_EQ(by_call[Call::QueryVideoMemoryInfo], 2u);
    std::size_t cases = 0;
    for (const auto& entry : by_call) cases += entry.second;
    std::cout << "exception cases: " << cases << "\n";
    RecordProperty("exception_cases", static_cast<int>(cases));
    EXPECT_EQ(collect(0, Fault::None).document, untouched.document);
}

// The one way to a document that cannot be written: a platform converter that
// hands out bytes that are not UTF-8 (Windows' CP_UTF8 conversion never does;
// it replaces unpaired surrogates). The JSON library refuses the text and the
// request answers 0, which the host reports as a failure, and the lock is free
// for the next request.
TEST(FaultInjection, ConverterBytesThatAreNotUtf8GiveTheResultZero) {
    std::size_t conversion = 0;
    const Outcome untouched = collect(0, Fault::None);
    while (untouched.log[conversion].call != Call::WideCharToMultiByte || untouched.log[conversion].detail != "convert")
        ++conversion;
    const Outcome refused = collect(conversion, Fault::NotUtf8);
    ASSERT_TRUE(refused.fault_taken);
    EXPECT_EQ(refused.result, 0);
    EXPECT_TRUE(refused.all_released);
    EXPECT_EQ(collect(0, Fault::None).document, untouched.document);
}

}  // namespace
}  // namespace mrv
