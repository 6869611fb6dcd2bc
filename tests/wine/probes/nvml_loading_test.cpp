// Where the real library looks for nvml.dll: beside the application, never
// in the working directory or on PATH, where anyone could plant one. Each
// case builds an application folder (sysinfo_dump.exe and mrv_sysinfo.dll)
// and puts the NVML double, as nvml.dll, where the case says.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "capabilities_of.h"
#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

constexpr std::uint32_t kNvidia = 0x10DE;
constexpr std::uint32_t kAmd = 0x1002;

class NvmlLoading : public testing::Test {
protected:
    void TearDown() override { reset_wine_adapter(); }

    // scratch\<name>\app\ with the program and the library; scratch\<name>\cwd\ empty.
    void make_folders(const std::string& name) {
        const std::string root = make_scratch_directory("probes_" + name);
        application_ = root + "app\\";
        working_ = root + "cwd\\";
        ASSERT_TRUE(CreateDirectoryA(application_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(working_.c_str(), nullptr));
        for (const char* file : {"sysinfo_dump.exe", "mrv_sysinfo.dll"})
            ASSERT_TRUE(copy_file(program_directory() + file, application_ + file)) << file;
    }

    void place_double(const char* variant, const std::string& folder) {
        ASSERT_TRUE(copy_file(program_directory() + variant + ".dll", folder + "nvml.dll"));
    }

    // The one adapter Wine presents, the first in the document.
    nlohmann::json only_adapter(const std::map<std::string, std::string>& environment = {}) {
        const nlohmann::json document = capabilities_from_process(application_, working_, environment);
        if (!document.is_object() || document["gpus"].size() != 1) {
            ADD_FAILURE() << "expected one adapter: " << document.dump();
            return nlohmann::json::object();
        }
        return document["gpus"][0];
    }

    // What the double's device says of its PCI function.
    void name_pci_identity(std::uint32_t pci_device_id, std::uint32_t pci_sub_system_id) {
        char text[96];
        std::snprintf(text, sizeof text, "pci_device_id=0x%08x\r\npci_sub_system_id=0x%08x\r\n", pci_device_id,
                      pci_sub_system_id);
        ASSERT_TRUE(write_file(application_ + "nvml_double.ini", text));
    }

    std::string application_;
    std::string working_;
};

struct PciFunction {
    std::uint32_t device_id = 0;
    std::uint32_t sub_sys_id = 0;
};

// Wine's hardware adapter as DXGI describes it to a new process (this one's
// DXGI read Wine's settings when it started), taken from a recording.
PciFunction wine_adapter() {
    const std::string folder = make_scratch_directory("probes_wine_adapter");
    const ProcessResult run = run_process(program_directory() + "sysinfo_record.exe " + folder + "wine.json", folder);
    if (!run.started || run.exit_code != 0) return {};
    const nlohmann::json profile = nlohmann::json::parse(read_file(folder + "wine.json"), nullptr, false);
    if (!profile.is_object()) return {};
    for (const nlohmann::json& adapter : profile["dxgi"]["adapters"]) {
        const nlohmann::json& desc = adapter["desc"];
        if ((desc["flags"].get<std::uint32_t>() & 2) != 0) continue;  // DXGI_ADAPTER_FLAG_SOFTWARE
        return {static_cast<std::uint32_t>(std::stoul(desc["device_id"].get<std::string>(), nullptr, 16)),
                static_cast<std::uint32_t>(std::stoul(desc["sub_sys_id"].get<std::string>(), nullptr, 16))};
    }
    return {};
}

TEST_F(NvmlLoading, ADoubleInTheWorkingDirectoryOrOnPathIsNotLoaded) {
    ASSERT_TRUE(set_wine_adapter(kNvidia, 0x2204, 24576));
    make_folders("nvml_in_working_directory");
    place_double("nvml_double", working_);

    // Control: the platform's bare search order would load it from there.
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(working_.c_str()));
    HMODULE planted = LoadLibraryA("nvml.dll");
    SetCurrentDirectoryA(previous);
    ASSERT_NE(planted, nullptr) << "the double must be loadable for this test to mean anything";
    FreeLibrary(planted);
    ASSERT_EQ(read_file(working_ + "nvml_double.log"), "loaded\n");
    DeleteFileA((working_ + "nvml_double.log").c_str());

    char path[32767] = {};
    GetEnvironmentVariableA("PATH", path, sizeof path);
    const nlohmann::json gpu = only_adapter({{"PATH", working_ + ";" + path}});
    EXPECT_EQ(gpu.value("vendor_id", 0u), kNvidia);
    EXPECT_EQ(gpu.value("has_nvml_support", true), false);
    EXPECT_EQ(gpu.value("bandwidth_from_nvml", true), false);
    EXPECT_FALSE(file_exists(working_ + "nvml_double.log")) << read_file(working_ + "nvml_double.log");
}

TEST_F(NvmlLoading, ACardAtRestIsMeasuredAtItsMaximumClock) {
    ASSERT_TRUE(set_wine_adapter(kNvidia, 0x2204, 24576));
    make_folders("nvml_beside_application");
    place_double("nvml_double", application_);
    // Wine reports the device IDs it knows and its default card's otherwise.
    const PciFunction wine = wine_adapter();
    ASSERT_NE(wine.device_id, 0u);
    name_pci_identity(wine.device_id << 16 | kNvidia, wine.sub_sys_id);

    // The double's device is at rest: 405 MHz now, 10501 MHz at most.
    const nlohmann::json gpu = only_adapter();
    EXPECT_EQ(gpu.value("vendor_id", 0u), kNvidia);
    EXPECT_EQ(gpu.value("has_nvml_support", false), true);
    EXPECT_EQ(gpu.value("bandwidth_from_nvml", false), true);
    EXPECT_DOUBLE_EQ(gpu.value("memory_bandwidth_gbs", 0.0), 1008.096);
    // sysinfo_dump makes two requests (size, then text): one initialisation
    // at load, then per request the device at sorted position 0, its
    // identity and its two figures, never nvmlShutdown.
    const std::string request =
        "nvmlDeviceGetHandleByIndex 0\nnvmlDeviceGetPciInfo_v3\nnvmlDeviceGetMaxClockInfo 2\nnvmlDeviceGetBusWidth\n";
    EXPECT_EQ(read_file(application_ + "nvml_double.log"), "loaded\nnvmlInit_v2\n" + request + request);
}

TEST_F(NvmlLoading, ADeviceWhosePciIdentityNamesAnotherCardIsNotUsed) {
    ASSERT_TRUE(set_wine_adapter(kNvidia, 0x2204, 24576));
    make_folders("nvml_other_card");
    place_double("nvml_double", application_);
    const PciFunction wine = wine_adapter();
    ASSERT_NE(wine.device_id, 0u);
    ASSERT_NE(wine.device_id, 0x2684u);
    const struct {
        const char* label;
        std::uint32_t pci_device_id;
        std::uint32_t pci_sub_system_id;
    } cases[] = {{"an RTX 4090", 0x2684u << 16 | kNvidia, wine.sub_sys_id},
                 {"the same chip on another board", wine.device_id << 16 | kNvidia, wine.sub_sys_id ^ 0x10000u}};
    for (const auto& c : cases) {
        name_pci_identity(c.pci_device_id, c.pci_sub_system_id);
        DeleteFileA((application_ + "nvml_double.log").c_str());
        const nlohmann::json gpu = only_adapter();
        EXPECT_EQ(gpu.value("has_nvml_support", false), true) << c.label;
        EXPECT_EQ(gpu.value("bandwidth_from_nvml", true), false) << c.label;
        // NVML's only device was the candidate; nothing else is looked at, nothing measured.
        const std::string request = "nvmlDeviceGetHandleByIndex 0\nnvmlDeviceGetPciInfo_v3\nnvmlDeviceGetCount\n";
        EXPECT_EQ(read_file(application_ + "nvml_double.log"), "loaded\nnvmlInit_v2\n" + request + request) << c.label;
    }
}

TEST_F(NvmlLoading, AnAdapterOfAnotherVendorIsNotLookedUp) {
    ASSERT_TRUE(set_wine_adapter(kAmd, 0x73BF, 16384));
    make_folders("nvml_other_vendor");
    place_double("nvml_double", application_);

    const nlohmann::json gpu = only_adapter();
    EXPECT_EQ(gpu.value("vendor_id", 0u), kAmd);
    EXPECT_EQ(gpu.value("has_nvml_support", true), false);
    EXPECT_EQ(read_file(application_ + "nvml_double.log"), "loaded\nnvmlInit_v2\n");
}

TEST_F(NvmlLoading, ALibraryWithoutNvmlShutdownIsLoadedButNotInitialised) {
    ASSERT_TRUE(set_wine_adapter(kNvidia, 0x2204, 24576));
    make_folders("nvml_without_shutdown");
    place_double("nvml_double_without_shutdown", application_);

    const nlohmann::json gpu = only_adapter();
    EXPECT_EQ(gpu.value("has_nvml_support", true), false);
    EXPECT_EQ(gpu.value("bandwidth_from_nvml", true), false);
    EXPECT_EQ(read_file(application_ + "nvml_double.log"), "loaded\n");
}

}  // namespace
}  // namespace mrv::wine_test
