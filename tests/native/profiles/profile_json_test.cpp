#include "machine_profiles/profile_json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "../support/temp_directory.h"
#include "machine_profiles/profile_platform.h"
#include "probes/wide_to_utf8.h"

namespace mrv {
namespace {

using nlohmann::json;

const std::filesystem::path kProfiles = std::filesystem::path(MRV_TEST_DATA_DIR) / "profiles";

json base_profile() { return json::parse(test::read_bytes(kProfiles / "desktop_nvidia_igpu.json")); }

std::string read_error(const std::string& text) {
    try {
        read_machine_profile(text);
    } catch (const ProfileFormatError& error) {
        return error.what();
    }
    return "(read without error)";
}

struct Malformed {
    const char* pointer;  // where the base profile is changed
    json value;           // the new value; null with remove set removes the member
    bool remove;
    const char* error;  // the start of the message
};

// `base` changed as the case says must be refused with the case's error.
void expect_refused(json profile, const Malformed& c) {
    const json::json_pointer pointer(c.pointer);
    if (c.remove)
        profile[pointer.parent_pointer()].erase(pointer.back());
    else
        profile[pointer] = c.value;
    const std::string error = read_error(profile.dump());
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.pointer << "\n  got: " << error;
}

TEST(ProfileReader, MalformedFieldsAreNamedInTheError) {
    const Malformed cases[] = {
        {"/dxgi/adapters/1/desc/vendor_id", -1, false,
         "dxgi.adapters[1].desc.vendor_id: expected an unsigned 32-bit integer"},
        {"/dxgi/adapters/1/desc/vendor_id", "0x10dg", false,
         "dxgi.adapters[1].desc.vendor_id: expected an unsigned 32-bit integer"},
        {"/dxgi/adapters/1/desc/vendor_id", 4294967296ull, false,
         "dxgi.adapters[1].desc.vendor_id: expected an unsigned 32-bit integer"},
        {"/dxgi/adapters/0/desc/dedicated_video_memory", 1.5, false,
         "dxgi.adapters[0].desc.dedicated_video_memory: expected an unsigned 64-bit integer"},
        {"/memory_status/total_phys", nullptr, true, "memory_status.total_phys: required field is missing"},
        {"/dxgi/adapters/0/desc/vendorid", 4318, false, "dxgi.adapters[0].desc: unknown field \"vendorid\""},
        {"/format", 3, false, "format: unsupported profile format 3 (this reader knows 1 to 2)"},
        {"/format", 0, false, "format: unsupported profile format 0 (this reader knows 1 to 2)"},
        {"/format", "1", false, "format: unsupported profile format \"1\""},
        {"/format", nullptr, true, "format: required field is missing"},
        {"/origin", 5, false, "origin: expected a string"},
        {"/nvml/present", "yes", false, "nvml.present: expected true or false"},
        {"/topology/buffer", "abc", false, "topology.buffer: expected hex text (an even number"},
        {"/topology/buffer/0", "zz", false, "topology.buffer: expected hex text (only hexadecimal digits)"},
        {"/topology/buffer", 7, false, "topology.buffer: expected hex text (a string or an array"},
        {"/registry/HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0/values/~0MHz/type", "REG_NUMBER", false,
         "registry[\"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0\"].values[\"~MHz\"].type: expected a "
         "registry value type"},
        {"/drives/c", base_profile()["drives"]["C"], false, "drives.c: a drive is named by one upper-case letter"},
        {"/drives/C/type", "DRIVE_SOLID", false, "drives.C.type: expected a drive type"},
        {"/nvml/devices/-", base_profile()["nvml"]["devices"][0], false,
         "nvml.devices[1].index: device 0 appears twice"},
        {"/cpuid/-", base_profile()["cpuid"][0], false, "cpuid[6]: leaf 0x00000001 sub-leaf 0 appears twice"},
        {"/dxgi/adapters", json::object(), false, "dxgi.adapters: expected an array"},
        {"/dxgi/adapters/0/enum_result", "0x887a0002", false,
         "dxgi.adapters[0].enum_result: DXGI_ERROR_NOT_FOUND is the end of the list"},
        {"/dxgi/adapters/0/desc_result", true, false,
         "dxgi.adapters[0].desc_result: expected a 32-bit status code"},
        {"/dxgi/adapters/0/desc/description", std::string(129, 'x'), false,
         "dxgi.adapters[0].desc.description: longer than 128 UTF-16 code units"},
        {"/dxgi/adapters/0/desc/description", std::string("GPU\0tail", 8), false,
         "dxgi.adapters[0].desc.description: must not contain U+0000"},
        {"/dxgi/adapters/0/desc/description_utf16", "004100", false,
         "dxgi.adapters[0].desc.description_utf16: expected UTF-16 code units of four hexadecimal digits each"},
        {"/dxgi/adapters/0/desc/description_utf16", "00410000", false,
         "dxgi.adapters[0].desc.description_utf16: must not contain a zero code unit"},
        {"/memory_status", json::array(), false, "memory_status: expected an object"},
    };
    for (const Malformed& c : cases) expect_refused(base_profile(), c);
}

TEST(ProfileReader, Format2NvmlFieldsAreRequiredAndChecked) {
    const json base = json::parse(test::read_bytes(kProfiles / "real_machines" / "rtx4090_desktop_at_rest.json"));
    ASSERT_EQ(base["format"], 2);
    const Malformed cases[] = {
        {"/nvml/devices/0/pci_device_id", "0x2684g", false,
         "nvml.devices[0].pci_device_id: expected an unsigned 32-bit integer"},
        {"/nvml/devices/0/max_memory_clock_mhz", nullptr, true,
         "nvml.devices[0].max_memory_clock_mhz: required field is missing"},
        {"/nvml/device_count", -1, false, "nvml.device_count: expected an unsigned 32-bit integer"},
        {"/nvml/count_result", nullptr, true, "nvml.count_result: required field is missing"},
        {"/nvml/devices/0/pci_result", "none", false, "nvml.devices[0].pci_result: expected a 32-bit status code"},
    };
    for (const Malformed& c : cases) expect_refused(base, c);
    // Format 1 knows none of them: there they are unknown fields.
    json old = base_profile();
    old["nvml"]["device_count"] = 1;
    EXPECT_EQ(read_error(old.dump()).rfind("nvml: unknown field \"device_count\"", 0), 0u) << read_error(old.dump());
}

// A format 1 profile knew one clock and no PCI identities: its clock answers
// both clock entry points, and without the PCI and count entry points its
// devices go by position, so it replays as it did when it was written.
TEST(ProfileReader, Format1ProfilesAnswerTheNewCallsAsTheyDidBefore) {
    const json old = base_profile();
    ASSERT_EQ(old["format"], 1);
    const MachineProfile profile = read_machine_profile(old.dump());
    EXPECT_EQ(profile.nvml.exports.count("nvmlDeviceGetPciInfo_v3"), 0u);
    EXPECT_EQ(profile.nvml.exports.count("nvmlDeviceGetCount"), 0u);
    EXPECT_EQ(profile.nvml.exports.count("nvmlDeviceGetClockInfo"), 1u);
    EXPECT_EQ(profile.nvml.exports.count("nvmlDeviceGetMaxClockInfo"), 1u);
    const NvmlDeviceAnswer& device = profile.nvml.devices.at(0);
    EXPECT_EQ(device.memory_clock_mhz, old["nvml"]["devices"][0]["memory_clock_mhz"].get<std::uint32_t>());
    EXPECT_EQ(device.max_memory_clock_mhz, device.memory_clock_mhz);
    EXPECT_EQ(device.max_clock_result, device.clock_result);

    json without_clock = old;
    json& exports = without_clock["nvml"]["exports"];
    exports.erase(std::find(exports.begin(), exports.end(), "nvmlDeviceGetClockInfo"));
    EXPECT_EQ(read_machine_profile(without_clock.dump()).nvml.exports.count("nvmlDeviceGetMaxClockInfo"), 0u);

    // Written again it is format 2, and reads back to the same answers.
    const std::string rewritten = write_machine_profile(profile);
    EXPECT_EQ(json::parse(rewritten)["format"], 2);
    EXPECT_EQ(write_machine_profile(read_machine_profile(rewritten)), rewritten);
}

TEST(ProfileReader, TextThatIsNoProfileObjectIsRefusedWithoutCrashing) {
    const std::string deep = std::string(20000, '[') + std::string(20000, ']');
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"", "profile: not valid JSON"},
        {"{\"format\": 1,", "profile: not valid JSON"},
        {"{\"format\": 1} trailing", "profile: not valid JSON"},
        {"\xff\xfe{}", "profile: not valid JSON"},
        {"[1, 2]", "profile: expected an object"},
        {deep, "profile: expected an object"},
        {"{\"format\": 1}", "origin: required field is missing"},
    };
    for (const auto& c : cases) EXPECT_EQ(read_error(c.text).rfind(c.error, 0), 0u) << read_error(c.text);
}

TEST(ProfileReader, NumbersMayBeDecimalOrHexAndNamesMayBeCodes) {
    json hex = base_profile();
    json decimal = base_profile();
    decimal["dxgi"]["adapters"][0]["desc"]["vendor_id"] = 4318;
    decimal["dxgi"]["factory_result"] = -2147467259;  // E_FAIL as a signed HRESULT
    hex["dxgi"]["factory_result"] = "0x80004005";
    decimal["drives"]["C"]["type"] = 3;
    decimal["registry"]["HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"]["values"]["~MHz"]["type"] = 4;
    EXPECT_EQ(write_machine_profile(read_machine_profile(decimal.dump())),
              write_machine_profile(read_machine_profile(hex.dump())));
}

TEST(ProfileWriter, EveryProfileFileReadsBackToTheSameProfile) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kProfiles)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.find(".expected.") != std::string::npos) continue;
        SCOPED_TRACE(name);
        const std::string written = write_machine_profile(read_machine_profile(test::read_bytes(entry.path())));
        EXPECT_EQ(write_machine_profile(read_machine_profile(written)), written);
        EXPECT_EQ(written.back(), '\n');
    }
}

// The format's description must not drift from the reader.
TEST(ProfileReader, ReadsTheDocumentedExample) {
    const std::string doc = test::read_bytes(std::filesystem::path(MRV_SOURCE_DIR) / "docs" / "machine_profiles.md");
    const std::size_t start = doc.find("```json\n");
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = doc.find("```", start + 8);
    ASSERT_NE(end, std::string::npos);
    const MachineProfile example = read_machine_profile(doc.substr(start + 8, end - start - 8));
    EXPECT_EQ(example.dxgi.adapters.size(), 1u);
    EXPECT_EQ(example.topology.buffer.size(), 96u);
}

MachineProfile one_adapter(const std::u16string& description) {
    MachineProfile profile;
    profile.source = "made up: one adapter";
    AdapterAnswer adapter;
    std::copy(description.begin(), description.end(), adapter.desc.description);
    adapter.desc.vendor_id = 0x10DE;
    profile.dxgi.adapters.push_back(adapter);
    return profile;
}

std::u16string units_of(const MachineProfile& profile) {
    const char16_t* begin = profile.dxgi.adapters.at(0).desc.description;
    return std::u16string(begin, std::find(begin, begin + 128, u'\0'));
}

// A lone surrogate has no UTF-8 form: the text shows U+FFFD, the raw units keep it.
TEST(ProfileWriter, DescriptionsKeepTheirExactUtf16Units) {
    const std::u16string lone = {u'A', static_cast<char16_t>(0xD800), u'B'};
    const std::u16string paired = u"GPU \U0001F600 \u00e9";
    const std::u16string full(128, u'x');

    const json with_lone = json::parse(write_machine_profile(one_adapter(lone)));
    const json& desc = with_lone["dxgi"]["adapters"][0]["desc"];
    EXPECT_EQ(desc["description"], "A\xEF\xBF\xBD" "B");
    EXPECT_EQ(desc["description_utf16"], "0041d8000042");
    EXPECT_EQ(units_of(read_machine_profile(with_lone.dump())), lone);

    for (const std::u16string& units : {paired, full}) {
        const json written = json::parse(write_machine_profile(one_adapter(units)));
        EXPECT_FALSE(written["dxgi"]["adapters"][0]["desc"].contains("description_utf16"));
        EXPECT_EQ(units_of(read_machine_profile(written.dump())), units);
    }

    // What the library makes of the lone surrogate is what Windows makes of it.
    ProfilePlatform platform{read_machine_profile(with_lone.dump())};
    EXPECT_EQ(wide_to_utf8(platform, lone), "A\xEF\xBF\xBD" "B");
}

}  // namespace
}  // namespace mrv
