// The real mrv_sysinfo.dll with each platform function it calls per request
// failing in turn, through its own import table: the slot of the import is
// pointed at a stub for one request and restored after it. Kernel and
// registry calls fail with a plausible status and last error;
// CreateDXGIFactory1 fails, or hands out its factory with S_FALSE; the
// factory's and the adapters' methods fail inside wrappers whose vtables
// forward. Every request is counted: registry keys and file handles the
// library opens must each be closed once, every DXGI reference it gets must
// be released once. Every document must be complete (the schema of
// docs/capabilities.schema.json) and equal the untouched one in each section
// the failing call does not feed; what the call feeds is at its initial value.
//
// NVML is the double (as nvml.dll, loaded before the library, which then
// finds it loaded), so that the per-request NVML lookups are reached too.
#include <windows.h>
#include <dxgi1_4.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../../native/support/json_schema.h"
#include "dxgi_ledger.h"
#include "import_table.h"
#include "library_import_stubs.h"
#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

using nlohmann::json;
using test::JsonSchemaValidator;
using Entry = std::int32_t(__cdecl*)(char*, std::int32_t);

template <typename Function>
void* stub(Function* function) {
    return reinterpret_cast<void*>(function);
}

// A document without what changes between two requests on a live machine:
// free memory and disk space, the adapters' current use, and the verdicts,
// which read free memory.
json steady(json document) {
    document.erase("capabilities");
    document["memory"].erase("available_ram_bytes");
    document["memory"].erase("available_page_file_bytes");
    for (json& gpu : document["gpus"]) gpu.erase("current_vram_usage_bytes");
    for (json& drive : document["storage"]) drive.erase("free_space_bytes");
    return document;
}

json without(json object, const std::set<std::string>& keys) {
    for (const std::string& key : keys) object.erase(key);
    return object;
}

// What each failure leaves in the part of the document its call feeds.
using Effect = void (*)(const json& document, const json& base);

void both_clocks_missing(const json& d, const json& base) {
    EXPECT_EQ(d["cpu"]["base_frequency_mhz"], 0);
    EXPECT_EQ(d["cpu"]["max_frequency_mhz"], 0);
    const std::set<std::string> changed{"base_frequency_mhz", "max_frequency_mhz", "estimated_flops"};
    EXPECT_EQ(without(d["cpu"], changed), without(base["cpu"], changed));
}
void no_logical_count(const json& d, const json& base) {
    EXPECT_EQ(d["cpu"]["logical_cores"], 0);
    EXPECT_EQ(without(d["cpu"], {"logical_cores"}), without(base["cpu"], {"logical_cores"}));
}
void physical_count_falls_back(const json& d, const json& base) {
    EXPECT_EQ(d["cpu"]["physical_cores"], base["cpu"]["logical_cores"]);
    const std::set<std::string> changed{"physical_cores", "estimated_flops"};
    EXPECT_EQ(without(d["cpu"], changed), without(base["cpu"], changed));
}
void no_memory_figures(const json& d, const json&) {
    EXPECT_EQ(d["memory"], json({{"available_page_file_bytes", 0}, {"available_ram_bytes", 0},
                                 {"total_page_file_bytes", 0}, {"total_ram_bytes", 0}}));
}
void no_adapters(const json& d, const json&) { EXPECT_EQ(d["gpus"], json::array()); }
void each_adapter(const json& d, const json& base, const std::set<std::string>& changed,
                  void (*check)(const json& gpu)) {
    ASSERT_EQ(d["gpus"].size(), base["gpus"].size());
    for (std::size_t i = 0; i < base["gpus"].size(); ++i) {
        check(d["gpus"][i]);
        EXPECT_EQ(without(d["gpus"][i], changed), without(steady(base)["gpus"][i], changed));
    }
}
void no_video_memory_figures(const json& d, const json& base) {
    each_adapter(d, base, {"vram_budget_bytes", "current_vram_usage_bytes"}, [](const json& gpu) {
        EXPECT_EQ(gpu["vram_budget_bytes"], 0u);
        EXPECT_EQ(gpu["current_vram_usage_bytes"], 0u);
    });
}
void nameless_adapters(const json& d, const json& base) {
    // The name decides the architecture, memory type and mobile flag, and
    // with them the table's estimate.
    each_adapter(d, base,
                 {"name", "architecture", "memory_type", "is_mobile", "memory_bandwidth_gbs", "bandwidth_from_nvml",
                  "current_vram_usage_bytes", "recommended_for_llm"},
                 [](const json& gpu) { EXPECT_EQ(gpu["name"], ""); });
}
void nothing_measured(const json& d, const json& base) {
    each_adapter(d, base, {"bandwidth_from_nvml", "memory_bandwidth_gbs", "current_vram_usage_bytes",
                           "recommended_for_llm"},
                 [](const json& gpu) { EXPECT_EQ(gpu["bandwidth_from_nvml"], false); });
}
void no_drives(const json& d, const json&) { EXPECT_EQ(d["storage"], json::array()); }
void each_drive(const json& d, const json& base, const char* key, const json& value) {
    ASSERT_EQ(d["storage"].size(), base["storage"].size());
    for (std::size_t i = 0; i < base["storage"].size(); ++i) {
        EXPECT_EQ(d["storage"][i][key], value);
        EXPECT_EQ(d["storage"][i]["drive_letter"], base["storage"][i]["drive_letter"]);
    }
}
void no_space_figures(const json& d, const json& base) {
    each_drive(d, base, "free_space_bytes", 0u);
    each_drive(d, base, "total_space_bytes", 0u);
}
void no_ssd(const json& d, const json& base) { each_drive(d, base, "is_ssd", false); }
void unchanged(const json&, const json&) {}

struct FaultCase {
    const char* name;
    const char* import;  // the slot replaced, or null for a DXGI method
    void* stub;
    DxgiMethod method;
    std::set<std::string> feeds;  // top-level members the call feeds
    Effect effect;
};

const std::vector<FaultCase>& fault_cases() {
    static const std::vector<FaultCase> cases = {
        {"RegOpenKeyExA fails", "RegOpenKeyExA", stub(failing_reg_open_key_ex), DxgiMethod::None, {"cpu"},
         both_clocks_missing},
        {"RegQueryValueExA fails", "RegQueryValueExA", stub(failing_reg_query_value_ex), DxgiMethod::None, {"cpu"},
         both_clocks_missing},
        {"RegCloseKey fails", "RegCloseKey", stub(failing_reg_close_key), DxgiMethod::None, {}, unchanged},
        {"GetSystemInfo answers nothing", "GetSystemInfo", stub(zeroed_system_info), DxgiMethod::None, {"cpu"},
         no_logical_count},
        {"GetLogicalProcessorInformationEx fails", "GetLogicalProcessorInformationEx",
         stub(failing_processor_information), DxgiMethod::None, {"cpu"}, physical_count_falls_back},
        {"GetLastError tells another error", "GetLastError", stub(other_last_error), DxgiMethod::None, {"cpu"},
         physical_count_falls_back},
        {"GlobalMemoryStatusEx fails", "GlobalMemoryStatusEx", stub(failing_memory_status), DxgiMethod::None,
         {"memory"}, no_memory_figures},
        {"CreateDXGIFactory1 fails", "CreateDXGIFactory1", stub(failing_create_factory), DxgiMethod::None, {"gpus"},
         no_adapters},
        {"CreateDXGIFactory1 answers S_FALSE", "CreateDXGIFactory1", stub(s_false_create_factory), DxgiMethod::None,
         {"gpus"}, no_adapters},
        {"EnumAdapters1 fails", nullptr, nullptr, DxgiMethod::EnumAdapters1, {"gpus"}, no_adapters},
        {"GetDesc1 fails", nullptr, nullptr, DxgiMethod::GetDesc1, {"gpus"}, no_adapters},
        {"QueryInterface(IDXGIAdapter3) fails", nullptr, nullptr, DxgiMethod::QueryInterfaceAdapter3, {"gpus"},
         no_video_memory_figures},
        {"QueryVideoMemoryInfo fails", nullptr, nullptr, DxgiMethod::QueryVideoMemoryInfo, {"gpus"},
         no_video_memory_figures},
        {"WideCharToMultiByte fails", "WideCharToMultiByte", stub(failing_wide_char_to_multi_byte), DxgiMethod::None,
         {"gpus"}, nameless_adapters},
        {"GetModuleHandleA fails", "GetModuleHandleA", stub(failing_get_module_handle), DxgiMethod::None, {"gpus"},
         nothing_measured},
        {"GetProcAddress fails", "GetProcAddress", stub(failing_get_proc_address), DxgiMethod::None, {"gpus"},
         nothing_measured},
        {"GetLogicalDrives fails", "GetLogicalDrives", stub(failing_logical_drives), DxgiMethod::None, {"storage"},
         no_drives},
        {"GetDriveTypeA cannot tell", "GetDriveTypeA", stub(failing_drive_type), DxgiMethod::None, {"storage"},
         no_drives},
        {"GetDiskFreeSpaceExA fails", "GetDiskFreeSpaceExA", stub(failing_disk_free_space), DxgiMethod::None,
         {"storage"}, no_space_figures},
        {"CreateFileA fails", "CreateFileA", stub(failing_create_file), DxgiMethod::None, {"storage"}, no_ssd},
        {"DeviceIoControl fails", "DeviceIoControl", stub(failing_device_io_control), DxgiMethod::None, {"storage"},
         no_ssd},
        {"CloseHandle fails", "CloseHandle", stub(failing_close_handle), DxgiMethod::None, {}, unchanged},
    };
    return cases;
}

struct Outcome {
    std::int32_t result = 0;
    json document;  // discarded when no document came
    int fault_calls = 0;
    std::size_t dxgi_objects = 0;
    std::size_t registry_keys = 0;
    std::size_t file_handles = 0;
    std::vector<std::string> problems;
};

// Wine's first hardware adapter as DXGI describes it to this process.
bool first_hardware_adapter(DXGI_ADAPTER_DESC1& found) {
    IDXGIFactory1* factory = nullptr;
    if (FAILED(CreateDXGIFactory1(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(&factory)))) return false;
    bool any = false;
    IDXGIAdapter1* adapter = nullptr;
    for (UINT index = 0; !any && factory->EnumAdapters1(index, &adapter) != DXGI_ERROR_NOT_FOUND; ++index) {
        DXGI_ADAPTER_DESC1 desc;
        if (SUCCEEDED(adapter->GetDesc1(&desc)) && (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) == 0) {
            found = desc;
            any = true;
        }
        adapter->Release();
    }
    factory->Release();
    return any;
}

class LibraryImportFaults : public testing::Test {
protected:
    // The NVML double answering for Wine's adapter, then the library.
    static void SetUpTestSuite() {
        DXGI_ADAPTER_DESC1 adapter{};
        if (!first_hardware_adapter(adapter)) return;
        const std::string folder = make_scratch_directory("library_import_faults");
        char identity[128];
        std::snprintf(identity, sizeof identity, "pci_device_id=0x%08x\r\npci_sub_system_id=0x%08x\r\n",
                      adapter.DeviceId << 16 | adapter.VendorId, adapter.SubSysId);
        if (!copy_file(program_directory() + "nvml_double.dll", folder + "nvml.dll") ||
            !write_file(folder + "nvml_double.ini", identity))
            return;
        nvml_ = LoadLibraryA((folder + "nvml.dll").c_str());
        library_ = LoadLibraryA((program_directory() + "mrv_sysinfo.dll").c_str());
        if (library_ != nullptr)
            entry_ = reinterpret_cast<Entry>(
                reinterpret_cast<void*>(GetProcAddress(library_, "get_system_capabilities_json")));
        schema_ = json::parse(read_file(std::string(MRV_SOURCE_DIR) + "/docs/capabilities.schema.json"), nullptr,
                              false);
        base_ = request(nullptr);
    }
    static void TearDownTestSuite() {
        if (library_ != nullptr) FreeLibrary(library_);
        if (nvml_ != nullptr) FreeLibrary(nvml_);
    }
    void SetUp() override {
        ASSERT_NE(nvml_, nullptr);
        ASSERT_NE(entry_, nullptr);
        ASSERT_TRUE(schema_.is_object());
        ASSERT_TRUE(base_.document.is_object()) << "the untouched request gave no document";
    }

    // One request with the counting imports in place, and the fault's.
    static Outcome request(const FaultCase* fault) {
        Ledger current;
        ledger = &current;
        std::vector<std::unique_ptr<ImportPatch>> patches;
        const auto patch = [&patches](const char* name, void* replacement) {
            void** slot = import_slot(library_, name);
            EXPECT_NE(slot, nullptr) << "mrv_sysinfo.dll does not import " << name;
            patches.push_back(std::make_unique<ImportPatch>(slot, replacement));
        };
        patch("RegOpenKeyExA", stub(counted_reg_open_key_ex));
        patch("RegCloseKey", stub(counted_reg_close_key));
        patch("CreateFileA", stub(counted_create_file));
        patch("CloseHandle", stub(counted_close_handle));
        patch("CreateDXGIFactory1", stub(counted_create_factory));
        if (fault != nullptr && fault->import != nullptr) patch(fault->import, fault->stub);
        if (fault != nullptr) current.dxgi.make_fail(fault->method);

        std::string buffer(1 << 16, '\0');
        Outcome out;
        out.result = entry_(buffer.data(), static_cast<std::int32_t>(buffer.size()));
        while (!patches.empty()) patches.pop_back();  // the fault's first, it lies on top of the count's

        ledger = nullptr;
        out.document = out.result > 0 && out.result < static_cast<std::int32_t>(buffer.size())
                           ? json::parse(buffer.substr(0, static_cast<std::size_t>(out.result)), nullptr, false)
                           : json(json::value_t::discarded);
        out.fault_calls = current.fault_calls + static_cast<int>(current.dxgi.failed_calls());
        out.dxgi_objects = current.dxgi.objects();
        out.registry_keys = current.keys.size();
        out.file_handles = current.files.size();
        out.problems = current.problems;
        for (const std::string& problem : current.dxgi.problems()) out.problems.push_back(problem);
        for (const auto& [key, open] : current.keys)
            if (open != 0) out.problems.push_back("a registry key left open");
        for (const auto& [file, open] : current.files)
            if (open != 0) out.problems.push_back("a file handle left open");
        return out;
    }

    void expect_complete(const json& document) {
        const std::vector<std::string> problems = JsonSchemaValidator::validate(schema_, document);
        for (const std::string& problem : problems) ADD_FAILURE() << problem;
    }

    static HMODULE nvml_;
    static HMODULE library_;
    static Entry entry_;
    static json schema_;
    static Outcome base_;
};

HMODULE LibraryImportFaults::nvml_ = nullptr;
HMODULE LibraryImportFaults::library_ = nullptr;
Entry LibraryImportFaults::entry_ = nullptr;
json LibraryImportFaults::schema_;
Outcome LibraryImportFaults::base_;

TEST_F(LibraryImportFaults, TheUntouchedRequestHasSomethingOfEverythingAndGivesAllBack) {
    const json& d = base_.document;
    expect_complete(d);
    EXPECT_TRUE(base_.problems.empty()) << base_.problems.front();
    // Something for every failure to take away.
    EXPECT_NE(d["cpu"]["base_frequency_mhz"], 0);
    EXPECT_NE(d["memory"]["total_ram_bytes"], 0u);
    ASSERT_EQ(d["gpus"].size(), 1u) << "Wine presents one adapter";
    EXPECT_NE(d["gpus"][0]["name"], "");
    EXPECT_NE(d["gpus"][0]["vram_budget_bytes"], 0u);
    EXPECT_EQ(d["gpus"][0]["bandwidth_from_nvml"], true) << "the NVML double measured it";
    EXPECT_FALSE(d["storage"].empty());
    EXPECT_GT(base_.registry_keys, 0u);
    EXPECT_GT(base_.file_handles, 0u);
    EXPECT_EQ(base_.dxgi_objects, 3u) << "the factory, the adapter and its IDXGIAdapter3";
}

TEST_F(LibraryImportFaults, EachPlatformCallFailingInTurnStillGivesACompleteDocumentAndGivesAllBack) {
    const json base = steady(base_.document);
    for (const FaultCase& fault : fault_cases()) {
        SCOPED_TRACE(fault.name);
        const Outcome out = request(&fault);
        EXPECT_GT(out.fault_calls, 0) << "the request never made the call";
        for (const std::string& problem : out.problems) ADD_FAILURE() << problem;
        ASSERT_TRUE(out.document.is_object()) << "no document; the request returned " << out.result;
        expect_complete(out.document);
        const json document = steady(out.document);
        for (const auto& [key, value] : base.items()) {
            if (fault.feeds.count(key) == 0) {
                EXPECT_EQ(document[key], value) << key;
            }
        }
        fault.effect(out.document, base_.document);
    }
    std::cout << "import fault cases: " << fault_cases().size() << "\n";
    RecordProperty("import_fault_cases", static_cast<int>(fault_cases().size()));

    // The slots are restored and the request lock is free again.
    const Outcome after = request(nullptr);
    EXPECT_EQ(steady(after.document), base);
    EXPECT_TRUE(after.problems.empty());
}

}  // namespace
}  // namespace mrv::wine_test
