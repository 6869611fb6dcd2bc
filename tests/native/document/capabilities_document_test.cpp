#include "document/capabilities_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace mrv {
namespace {

const char* const kUntouchedDocument =
    R"({"capabilities":{"llm_server":{"best_gpu_index":-1,"expected_tokens_per_sec":0.0,)"
    R"("recommended_gpu_layers":0,"recommended_mode":"","recommended_threads":1,"status":"none","warnings":[]},)"
    R"("transcription":{"status":"none","warnings":[]}},"cpu":{"base_frequency_mhz":0,"brand":"",)"
    R"("estimated_flops":0.0,"has_avx2":false,"has_avx512":false,"has_f16c":false,"has_fma":false,)"
    R"("logical_cores":0,"max_frequency_mhz":0,"physical_cores":0},"gpus":[],"memory":{)"
    R"("available_page_file_bytes":0,"available_ram_bytes":0,"total_page_file_bytes":0,"total_ram_bytes":0},)"
    R"("storage":[]})";

TEST(CapabilitiesDocument, UntouchedSnapshotIsWrittenByteForByte) {
    EXPECT_EQ(build_capabilities_json(SystemSnapshot{}), kUntouchedDocument);
}

TEST(CapabilitiesDocument, FilledSnapshotMatchesTheReferenceDocument) {
    SystemSnapshot s;
    s.cpu = {"Sample CPU", 8, 16, 3000, 4500, true, false, true, true, 72000000000.0};
    s.memory = {34359738368ull, 17179869184ull, 39728447488ull, 20000000000ull};
    GpuInfo gpu;
    gpu.name = "Sample GPU";
    gpu.vendor_id = 0x10DE;
    gpu.is_discrete = true;
    gpu.recommended_for_llm = true;
    gpu.dedicated_vram_bytes = 17163091968ull;
    gpu.shared_vram_bytes = 17146314752ull;
    gpu.vram_budget_bytes = 15032385536ull;
    gpu.current_vram_usage_bytes = 1073741824ull;
    gpu.has_nvml_support = true;
    gpu.score = 1200;
    gpu.memory_bandwidth_gbs = 504.0;
    gpu.bandwidth_from_nvml = true;
    s.gpus.push_back(gpu);
    s.storage.push_back(DriveInfo{'C', 107374182400ull, 511101108224ull, true});
    s.transcription.status = CapabilityStatus::Ok;
    s.llm_server = {CapabilityStatus::Ok, {}, 99, 8, 0, 21.0, "fit_on"};

    EXPECT_EQ(build_capabilities_json(s),
              R"({"capabilities":{"llm_server":{"best_gpu_index":0,"expected_tokens_per_sec":21.0,)"
              R"("recommended_gpu_layers":99,"recommended_mode":"fit_on","recommended_threads":8,"status":"ok",)"
              R"("warnings":[]},"transcription":{"status":"ok","warnings":[]}},"cpu":{"base_frequency_mhz":3000,)"
              R"("brand":"Sample CPU","estimated_flops":72000000000.0,"has_avx2":true,"has_avx512":false,)"
              R"("has_f16c":true,"has_fma":true,"logical_cores":16,"max_frequency_mhz":4500,"physical_cores":8},)"
              R"("gpus":[{"architecture":"","bandwidth_from_nvml":true,"current_vram_usage_bytes":1073741824,)"
              R"("dedicated_vram_bytes":17163091968,"has_nvml_support":true,"is_discrete":true,"is_mobile":false,)"
              R"("memory_bandwidth_gbs":504.0,"memory_type":"","name":"Sample GPU","recommended_for_llm":true,)"
              R"("score":1200,"shared_vram_bytes":17146314752,"vendor_id":4318,"vram_budget_bytes":15032385536}],)"
              R"("memory":{"available_page_file_bytes":20000000000,"available_ram_bytes":17179869184,)"
              R"("total_page_file_bytes":39728447488,"total_ram_bytes":34359738368},"storage":[{"drive_letter":"C",)"
              R"("free_space_bytes":107374182400,"is_ssd":true,"total_space_bytes":511101108224}]})");
}

// The text of one floating value as the document writes it.
std::string flops_text(double value) {
    SystemSnapshot s;
    s.cpu.estimated_flops = value;
    const std::string doc = build_capabilities_json(s);
    const std::string key = "\"estimated_flops\":";
    const auto start = doc.find(key) + key.size();
    return doc.substr(start, doc.find(',', start) - start);
}

TEST(CapabilitiesDocument, FloatingValuesUseShortestRoundTripText) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0.0"},
        {504.0, "504.0"},
        {72000000000.0, "72000000000.0"},
        {123456789012345.0, "123456789012345.0"},
        {1e15, "1e+15"},
        {1e16, "1e+16"},
        {0.0001, "0.0001"},
        {1.5e-05, "1.5e-05"},
        {-0.0, "-0.0"},
        {250.0 / 24.0, "10.416666666666666"},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {std::numeric_limits<double>::infinity(), "null"},
    };
    for (const auto& c : cases) EXPECT_EQ(flops_text(c.value), c.text) << c.value;
}

TEST(CapabilitiesDocument, UnsignedCountsAtAndAbove2To63StayUnsigned) {
    SystemSnapshot s;
    s.memory.total_ram_bytes = 9223372036854775808ull;
    s.memory.available_ram_bytes = 18446744073709551615ull;
    GpuInfo gpu;
    gpu.vendor_id = 0xFFFFFFFFu;
    s.gpus.push_back(gpu);
    const std::string doc = build_capabilities_json(s);
    EXPECT_NE(doc.find(R"("total_ram_bytes":9223372036854775808)"), std::string::npos);
    EXPECT_NE(doc.find(R"("available_ram_bytes":18446744073709551615)"), std::string::npos);
    EXPECT_NE(doc.find(R"("vendor_id":4294967295)"), std::string::npos);
}

TEST(CapabilitiesDocument, StringsEscapeOnlyWhatJsonRequires) {
    SystemSnapshot s;
    s.cpu.brand = std::string("q\"b\\s/\b\f\n\r\t\x01\x1f\x7f") + "Процессор";
    s.transcription.warnings = {"Недостаточно ядер CPU (требуется минимум 4)"};
    const std::string doc = build_capabilities_json(s);
    EXPECT_NE(doc.find(R"("brand":"q\"b\\s/\b\f\n\r\t\u0001\u001f)"
                       "\x7f"
                       R"(Процессор")"),
              std::string::npos)
        << doc;
    EXPECT_NE(doc.find(R"~("warnings":["Недостаточно ядер CPU (требуется минимум 4)"])~"), std::string::npos);
}

TEST(CapabilitiesDocument, InvalidUtf8IsRefusedWithTypeError316) {
    SystemSnapshot s;
    GpuInfo gpu;
    gpu.name = "bad \xC3";
    s.gpus.push_back(gpu);
    try {
        build_capabilities_json(s);
        FAIL() << "expected a type error";
    } catch (const nlohmann::json::type_error& error) {
        EXPECT_EQ(error.id, 316);
    }
}

TEST(CapabilitiesDocument, StatusNames) {
    EXPECT_STREQ(capability_status_name(CapabilityStatus::None), "none");
    EXPECT_STREQ(capability_status_name(CapabilityStatus::Minimal), "minimal");
    EXPECT_STREQ(capability_status_name(CapabilityStatus::Ok), "ok");
    EXPECT_STREQ(capability_status_name(static_cast<CapabilityStatus>(7)), "unknown");
}

}  // namespace
}  // namespace mrv
