// docs/capabilities.schema.json against the documents the library writes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../support/json_schema.h"
#include "assessment/capabilities_assessment.h"
#include "boundary/snapshot.h"
#include "document/capabilities_document.h"
#include "profile_files.h"

namespace mrv {
namespace {

using nlohmann::json;
using test::JsonSchemaValidator;

json schema() {
    return json::parse(test::read_bytes(std::filesystem::path(MRV_SOURCE_DIR) / "docs" / "capabilities.schema.json"));
}

std::string joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) text += problem + "\n";
    return text;
}

TEST(CapabilitiesSchema, EveryExpectedProfileDocumentConforms) {
    const json capabilities = schema();
    for (const std::string& name : test::profile_names()) {
        const auto problems = JsonSchemaValidator::validate(capabilities, json::parse(test::expected_document(name)));
        EXPECT_TRUE(problems.empty()) << name << "\n" << joined(problems);
    }
}

// Assessed snapshots, as the pipeline always assesses before it serialises.
TEST(CapabilitiesSchema, BuilderDocumentsAtTheLimitsConform) {
    SystemSnapshot untouched;
    assess_capabilities(untouched);
    SystemSnapshot extreme;
    extreme.memory.total_ram_bytes = std::numeric_limits<std::uint64_t>::max();
    GpuInfo gpu;
    gpu.vendor_id = 0xFFFFFFFF;
    gpu.is_discrete = true;
    gpu.dedicated_vram_bytes = std::numeric_limits<std::uint64_t>::max();
    gpu.memory_bandwidth_gbs = 1e300;
    extreme.gpus.push_back(gpu);
    DriveInfo drive;
    drive.drive_letter = 'Z';
    extreme.storage.push_back(drive);
    assess_capabilities(extreme);
    extreme.cpu.estimated_flops = std::numeric_limits<double>::quiet_NaN();  // written null
    extreme.gpus[0].memory_bandwidth_gbs = std::numeric_limits<double>::infinity();
    // A status outside the three is written "unknown".
    SystemSnapshot out_of_range = untouched;
    out_of_range.transcription.status = static_cast<CapabilityStatus>(3);
    out_of_range.llm_server.status = static_cast<CapabilityStatus>(-1);
    const json written = json::parse(build_capabilities_json(out_of_range))["capabilities"];
    ASSERT_EQ(written["transcription"]["status"], "unknown");
    ASSERT_EQ(written["llm_server"]["status"], "unknown");
    for (const SystemSnapshot* snapshot : {&untouched, &extreme, &out_of_range}) {
        const auto problems = JsonSchemaValidator::validate(schema(), json::parse(build_capabilities_json(*snapshot)));
        EXPECT_TRUE(problems.empty()) << joined(problems);
    }
}

// Each object of the schema requires all its keys and allows no other.
void expect_closed_objects(const json& node, const std::string& path) {
    if (node.contains("properties")) {
        EXPECT_EQ(node.value("additionalProperties", true), false) << path;
        std::vector<std::string> keys;
        for (auto item = node["properties"].begin(); item != node["properties"].end(); ++item) {
            keys.push_back(item.key());
            expect_closed_objects(item.value(), path + "." + item.key());
        }
        EXPECT_EQ(node.value("required", json::array()).get<std::vector<std::string>>(), keys) << path;
    }
    if (node.contains("items")) expect_closed_objects(node["items"], path + "[]");
}

TEST(CapabilitiesSchema, NamesEveryKeyAsRequiredAndNoOther) { expect_closed_objects(schema(), "$"); }

TEST(CapabilitiesSchema, RefusesDocumentsThatBreakIt) {
    const json valid = json::parse(test::expected_document("desktop_nvidia_igpu"));
    const struct {
        const char* pointer;
        json value;
        bool remove;
        const char* problem;
    } cases[] = {
        {"/gpus/0/extra", 1, false, "$.gpus[0].extra: key is not allowed"},
        {"/cpu/brand", nullptr, true, "$.cpu: required key \"brand\" is missing"},
        {"/capabilities/transcription/status", "great", false,
         "$.capabilities.transcription.status: \"great\" is not one of"},
        {"/capabilities/llm_server/status", "Ok", false, "$.capabilities.llm_server.status: \"Ok\" is not one of"},
        {"/capabilities/llm_server/recommended_mode", "fast", false,
         "$.capabilities.llm_server.recommended_mode: \"fast\" is not one of"},
        {"/capabilities/llm_server/best_gpu_index", -2, false,
         "$.capabilities.llm_server.best_gpu_index: -2 is below the minimum -1"},
        {"/gpus/1/vendor_id", -1, false, "$.gpus[1].vendor_id: -1 is below the minimum 0"},
        {"/memory/total_ram_bytes", 1.5, false, "$.memory.total_ram_bytes: expected \"integer\", found number"},
        {"/cpu/has_avx2", "true", false, "$.cpu.has_avx2: expected \"boolean\", found string"},
        {"/storage/0/drive_letter", "c", false, "$.storage[0].drive_letter: \"c\" is not one of"},
        {"/capabilities/transcription/warnings/-", 7, false,
         "$.capabilities.transcription.warnings[0]: expected \"string\", found number"},
        {"/storage", json::object(), false, "$.storage: expected \"array\", found object"},
    };
    for (const auto& c : cases) {
        json document = valid;
        const json::json_pointer pointer(c.pointer);
        if (c.remove)
            document[pointer.parent_pointer()].erase(pointer.back());
        else
            document[pointer] = c.value;
        const auto problems = JsonSchemaValidator::validate(schema(), document);
        ASSERT_EQ(problems.size(), 1u) << c.pointer << "\n" << joined(problems);
        EXPECT_EQ(problems[0].rfind(c.problem, 0), 0u) << problems[0];
    }
}

TEST(JsonSchemaValidator, ReportsKeywordsItCannotCheck) {
    const json pattern = {{"type", "string"}, {"pattern", "^[A-Z]$"}};
    EXPECT_EQ(JsonSchemaValidator::validate(pattern, "C"),
              std::vector<std::string>{"$: schema keyword \"pattern\" is not supported"});
}

}  // namespace
}  // namespace mrv
