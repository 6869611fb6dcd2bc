// Random snapshots through the document builder. Either the builder refuses
// a string that is not valid UTF-8 with the JSON library's type error 316
// (the request boundary turns that into the result 0), or it writes a
// compact UTF-8 text, keys in byte order, that parses back to exactly the
// snapshot's values, every key present and of its kind.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "boundary/snapshot.h"
#include "document/capabilities_document.h"
#include "fuzz_check.h"
#include "../native/support/utf8_validity.h"

namespace {

using mrv::fuzz::require;
using nlohmann::json;

// Raw bytes, or valid UTF-8 built from scalar values, so that both the
// refusal and the success path are reached.
std::string text(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) return in.ConsumeRandomLengthString(48);
    std::string out;
    const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t code = in.ConsumeIntegralInRange<std::uint32_t>(0, 0x10FFFF);
        if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
        mrv::test::append_utf8(out, code);
    }
    return out;
}

// Every bit pattern: NaN, infinities, negative zero, subnormals.
double any_double(FuzzedDataProvider& in) {
    const auto bits = in.ConsumeIntegral<std::uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::vector<std::string> texts(FuzzedDataProvider& in) {
    std::vector<std::string> out(in.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (auto& t : out) t = text(in);
    return out;
}

mrv::CapabilityStatus status(FuzzedDataProvider& in) {
    return static_cast<mrv::CapabilityStatus>(in.ConsumeIntegral<std::int32_t>());
}

mrv::SystemSnapshot snapshot_from(FuzzedDataProvider& in) {
    mrv::SystemSnapshot s;
    s.cpu.brand = text(in);
    s.cpu.physical_cores = in.ConsumeIntegral<std::int32_t>();
    s.cpu.logical_cores = in.ConsumeIntegral<std::int32_t>();
    s.cpu.base_frequency_mhz = in.ConsumeIntegral<std::int32_t>();
    s.cpu.max_frequency_mhz = in.ConsumeIntegral<std::int32_t>();
    s.cpu.has_avx2 = in.ConsumeBool();
    s.cpu.has_avx512 = in.ConsumeBool();
    s.cpu.has_f16c = in.ConsumeBool();
    s.cpu.has_fma = in.ConsumeBool();
    s.cpu.estimated_flops = any_double(in);
    s.memory.total_ram_bytes = in.ConsumeIntegral<std::uint64_t>();
    s.memory.available_ram_bytes = in.ConsumeIntegral<std::uint64_t>();
    s.memory.total_page_file_bytes = in.ConsumeIntegral<std::uint64_t>();
    s.memory.available_page_file_bytes = in.ConsumeIntegral<std::uint64_t>();
    s.gpus.resize(in.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (mrv::GpuInfo& g : s.gpus) {
        g.name = text(in);
        g.vendor_id = in.ConsumeIntegral<std::uint32_t>();
        g.is_discrete = in.ConsumeBool();
        g.recommended_for_llm = in.ConsumeBool();
        g.dedicated_vram_bytes = in.ConsumeIntegral<std::uint64_t>();
        g.shared_vram_bytes = in.ConsumeIntegral<std::uint64_t>();
        g.vram_budget_bytes = in.ConsumeIntegral<std::uint64_t>();
        g.current_vram_usage_bytes = in.ConsumeIntegral<std::uint64_t>();
        g.has_nvml_support = in.ConsumeBool();
        g.score = in.ConsumeIntegral<std::int32_t>();
        g.memory_bandwidth_gbs = any_double(in);
        g.architecture = text(in);
        g.memory_type = text(in);
        g.bandwidth_from_nvml = in.ConsumeBool();
        g.is_mobile = in.ConsumeBool();
    }
    s.storage.resize(in.ConsumeIntegralInRange<std::size_t>(0, 26));
    for (mrv::DriveInfo& d : s.storage) {
        d.drive_letter = in.ConsumeIntegral<char>();
        d.free_space_bytes = in.ConsumeIntegral<std::uint64_t>();
        d.total_space_bytes = in.ConsumeIntegral<std::uint64_t>();
        d.is_ssd = in.ConsumeBool();
    }
    s.transcription.status = status(in);
    s.transcription.warnings = texts(in);
    s.llm_server.status = status(in);
    s.llm_server.warnings = texts(in);
    s.llm_server.recommended_gpu_layers = in.ConsumeIntegral<std::int32_t>();
    s.llm_server.recommended_threads = in.ConsumeIntegral<std::int32_t>();
    s.llm_server.best_gpu_index = in.ConsumeIntegral<std::int32_t>();
    s.llm_server.expected_tokens_per_sec = any_double(in);
    s.llm_server.recommended_mode = text(in);
    return s;
}

bool all_text_valid(const mrv::SystemSnapshot& s) {
    std::vector<const std::string*> all = {&s.cpu.brand, &s.llm_server.recommended_mode};
    for (const auto& g : s.gpus) all.insert(all.end(), {&g.name, &g.architecture, &g.memory_type});
    for (const auto& w : s.transcription.warnings) all.push_back(&w);
    for (const auto& w : s.llm_server.warnings) all.push_back(&w);
    std::vector<std::string> letters;
    letters.reserve(s.storage.size());
    for (const auto& d : s.storage) letters.emplace_back(1, d.drive_letter);
    for (const auto& l : letters) all.push_back(&l);
    for (const std::string* t : all)
        if (!mrv::test::is_valid_utf8(*t)) return false;
    return true;
}

// An object with exactly these keys.
bool has_keys(const json& object, std::initializer_list<const char*> keys) {
    if (!object.is_object() || object.size() != keys.size()) return false;
    for (const char* key : keys)
        if (!object.contains(key)) return false;
    return true;
}

bool same_signed(const json& value, std::int32_t field) {
    return value.is_number_integer() && value.get<std::int64_t>() == field;
}
bool same_unsigned(const json& value, std::uint64_t field) {
    return value.is_number_unsigned() && value.get<std::uint64_t>() == field;
}
bool same_bool(const json& value, bool field) { return value.is_boolean() && value.get<bool>() == field; }
bool same_text(const json& value, const std::string& field) {
    return value.is_string() && value.get<std::string>() == field;
}
// Not finite: null. Finite: a floating value that reads back to the same bits.
bool same_double(const json& value, double field) {
    if (!std::isfinite(field)) return value.is_null();
    if (!value.is_number_float()) return false;
    const double read = value.get<double>();
    return std::memcmp(&read, &field, sizeof read) == 0;
}
bool same_texts(const json& value, const std::vector<std::string>& field) {
    if (!value.is_array() || value.size() != field.size()) return false;
    for (std::size_t i = 0; i < field.size(); ++i)
        if (!same_text(value[i], field[i])) return false;
    return true;
}
bool same_status(const json& value, mrv::CapabilityStatus field) {
    const auto raw = static_cast<std::int32_t>(field);
    const char* name = raw == 0 ? "none" : raw == 1 ? "minimal" : raw == 2 ? "ok" : "unknown";
    return same_text(value, name);
}

bool same_cpu(const json& c, const mrv::CpuInfo& cpu) {
    return has_keys(c, {"base_frequency_mhz", "brand", "estimated_flops", "has_avx2", "has_avx512", "has_f16c",
                        "has_fma", "logical_cores", "max_frequency_mhz", "physical_cores"}) &&
           same_signed(c["base_frequency_mhz"], cpu.base_frequency_mhz) && same_text(c["brand"], cpu.brand) &&
           same_double(c["estimated_flops"], cpu.estimated_flops) && same_bool(c["has_avx2"], cpu.has_avx2) &&
           same_bool(c["has_avx512"], cpu.has_avx512) && same_bool(c["has_f16c"], cpu.has_f16c) &&
           same_bool(c["has_fma"], cpu.has_fma) && same_signed(c["logical_cores"], cpu.logical_cores) &&
           same_signed(c["max_frequency_mhz"], cpu.max_frequency_mhz) &&
           same_signed(c["physical_cores"], cpu.physical_cores);
}

bool same_memory(const json& m, const mrv::MemoryInfo& memory) {
    return has_keys(m, {"available_page_file_bytes", "available_ram_bytes", "total_page_file_bytes",
                        "total_ram_bytes"}) &&
           same_unsigned(m["available_page_file_bytes"], memory.available_page_file_bytes) &&
           same_unsigned(m["available_ram_bytes"], memory.available_ram_bytes) &&
           same_unsigned(m["total_page_file_bytes"], memory.total_page_file_bytes) &&
           same_unsigned(m["total_ram_bytes"], memory.total_ram_bytes);
}

bool same_gpu(const json& g, const mrv::GpuInfo& gpu) {
    return has_keys(g, {"architecture", "bandwidth_from_nvml", "current_vram_usage_bytes", "dedicated_vram_bytes",
                        "has_nvml_support", "is_discrete", "is_mobile", "memory_bandwidth_gbs", "memory_type",
                        "name", "recommended_for_llm", "score", "shared_vram_bytes", "vendor_id",
                        "vram_budget_bytes"}) &&
           same_text(g["architecture"], gpu.architecture) &&
           same_bool(g["bandwidth_from_nvml"], gpu.bandwidth_from_nvml) &&
           same_unsigned(g["current_vram_usage_bytes"], gpu.current_vram_usage_bytes) &&
           same_unsigned(g["dedicated_vram_bytes"], gpu.dedicated_vram_bytes) &&
           same_bool(g["has_nvml_support"], gpu.has_nvml_support) && same_bool(g["is_discrete"], gpu.is_discrete) &&
           same_bool(g["is_mobile"], gpu.is_mobile) &&
           same_double(g["memory_bandwidth_gbs"], gpu.memory_bandwidth_gbs) &&
           same_text(g["memory_type"], gpu.memory_type) && same_text(g["name"], gpu.name) &&
           same_bool(g["recommended_for_llm"], gpu.recommended_for_llm) && same_signed(g["score"], gpu.score) &&
           same_unsigned(g["shared_vram_bytes"], gpu.shared_vram_bytes) &&
           same_unsigned(g["vendor_id"], gpu.vendor_id) &&
           same_unsigned(g["vram_budget_bytes"], gpu.vram_budget_bytes);
}

bool same_drive(const json& d, const mrv::DriveInfo& drive) {
    return has_keys(d, {"drive_letter", "free_space_bytes", "is_ssd", "total_space_bytes"}) &&
           same_text(d["drive_letter"], std::string(1, drive.drive_letter)) &&
           same_unsigned(d["free_space_bytes"], drive.free_space_bytes) && same_bool(d["is_ssd"], drive.is_ssd) &&
           same_unsigned(d["total_space_bytes"], drive.total_space_bytes);
}

bool same_capabilities(const json& c, const mrv::SystemSnapshot& s) {
    if (!has_keys(c, {"llm_server", "transcription"})) return false;
    const json& t = c["transcription"];
    const json& l = c["llm_server"];
    const mrv::LlmServerCapability& llm = s.llm_server;
    return has_keys(t, {"status", "warnings"}) && same_status(t["status"], s.transcription.status) &&
           same_texts(t["warnings"], s.transcription.warnings) &&
           has_keys(l, {"best_gpu_index", "expected_tokens_per_sec", "recommended_gpu_layers", "recommended_mode",
                        "recommended_threads", "status", "warnings"}) &&
           same_signed(l["best_gpu_index"], llm.best_gpu_index) &&
           same_double(l["expected_tokens_per_sec"], llm.expected_tokens_per_sec) &&
           same_signed(l["recommended_gpu_layers"], llm.recommended_gpu_layers) &&
           same_text(l["recommended_mode"], llm.recommended_mode) &&
           same_signed(l["recommended_threads"], llm.recommended_threads) && same_status(l["status"], llm.status) &&
           same_texts(l["warnings"], llm.warnings);
}

template <typename Record, typename Same>
bool same_list(const json& array, const std::vector<Record>& records, Same same) {
    if (!array.is_array() || array.size() != records.size()) return false;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (!same(array[i], records[i])) return false;
    return true;
}

bool refused_as_invalid_utf8(const json::type_error& error) {
    const std::string what = error.what();
    return error.id == 316 && (what.find("invalid UTF-8 byte at index ") != std::string::npos ||
                               what.find("incomplete UTF-8 string; last byte: 0x") != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const mrv::SystemSnapshot snapshot = snapshot_from(in);
    const bool valid = all_text_valid(snapshot);

    std::string text;
    try {
        text = mrv::build_capabilities_json(snapshot);
    } catch (const json::type_error& error) {
        require(refused_as_invalid_utf8(error), "the only refusal is type error 316 for invalid UTF-8");
        require(!valid, "a snapshot of valid UTF-8 is never refused");
        return 0;
    }
    require(valid, "a string that is not valid UTF-8 is refused, never written");
    require(mrv::test::is_valid_utf8(text), "the text is valid UTF-8");

    const json document = json::parse(text);  // strict: throws, and so stops the fuzzer, on a bad text
    require(document.dump(-1, ' ', false, json::error_handler_t::strict) == text,
            "the text is compact with keys in byte order (it equals its own re-serialisation)");
    require(has_keys(document, {"capabilities", "cpu", "gpus", "memory", "storage"}), "five top-level members");
    require(same_cpu(document["cpu"], snapshot.cpu), "cpu");
    require(same_memory(document["memory"], snapshot.memory), "memory");
    require(same_list(document["gpus"], snapshot.gpus, same_gpu), "gpus");
    require(same_list(document["storage"], snapshot.storage, same_drive), "storage");
    require(same_capabilities(document["capabilities"], snapshot), "capabilities");
    return 0;
}
