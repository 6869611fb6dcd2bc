#include "document/capabilities_document.h"

#include <nlohmann/json.hpp>

namespace mrv {
namespace {

using nlohmann::json;

json string_array(const std::vector<std::string>& texts) {
    json array = json::array();
    for (const std::string& text : texts) array.push_back(text);
    return array;
}

json gpu_object(const GpuInfo& gpu) {
    json object;
    object["name"] = gpu.name;
    object["vendor_id"] = gpu.vendor_id;
    object["is_discrete"] = gpu.is_discrete;
    object["recommended_for_llm"] = gpu.recommended_for_llm;
    object["dedicated_vram_bytes"] = gpu.dedicated_vram_bytes;
    object["shared_vram_bytes"] = gpu.shared_vram_bytes;
    object["vram_budget_bytes"] = gpu.vram_budget_bytes;
    object["current_vram_usage_bytes"] = gpu.current_vram_usage_bytes;
    object["has_nvml_support"] = gpu.has_nvml_support;
    object["score"] = gpu.score;
    object["memory_bandwidth_gbs"] = gpu.memory_bandwidth_gbs;
    object["architecture"] = gpu.architecture;
    object["memory_type"] = gpu.memory_type;
    object["bandwidth_from_nvml"] = gpu.bandwidth_from_nvml;
    object["is_mobile"] = gpu.is_mobile;
    return object;
}

json drive_object(const DriveInfo& drive) {
    json object;
    object["drive_letter"] = std::string(1, drive.drive_letter);
    object["free_space_bytes"] = drive.free_space_bytes;
    object["total_space_bytes"] = drive.total_space_bytes;
    object["is_ssd"] = drive.is_ssd;
    return object;
}

}  // namespace

const char* capability_status_name(CapabilityStatus status) {
    switch (status) {
        case CapabilityStatus::None: return "none";
        case CapabilityStatus::Minimal: return "minimal";
        case CapabilityStatus::Ok: return "ok";
    }
    return "unknown";
}

std::string build_capabilities_json(const SystemSnapshot& snapshot) {
    json root;

    const CpuInfo& cpu = snapshot.cpu;
    root["cpu"]["brand"] = cpu.brand;
    root["cpu"]["physical_cores"] = cpu.physical_cores;
    root["cpu"]["logical_cores"] = cpu.logical_cores;
    root["cpu"]["base_frequency_mhz"] = cpu.base_frequency_mhz;
    root["cpu"]["max_frequency_mhz"] = cpu.max_frequency_mhz;
    root["cpu"]["has_avx2"] = cpu.has_avx2;
    root["cpu"]["has_avx512"] = cpu.has_avx512;
    root["cpu"]["has_f16c"] = cpu.has_f16c;
    root["cpu"]["has_fma"] = cpu.has_fma;
    root["cpu"]["estimated_flops"] = cpu.estimated_flops;

    const MemoryInfo& memory = snapshot.memory;
    root["memory"]["total_ram_bytes"] = memory.total_ram_bytes;
    root["memory"]["available_ram_bytes"] = memory.available_ram_bytes;
    root["memory"]["total_page_file_bytes"] = memory.total_page_file_bytes;
    root["memory"]["available_page_file_bytes"] = memory.available_page_file_bytes;

    root["gpus"] = json::array();
    for (const GpuInfo& gpu : snapshot.gpus) root["gpus"].push_back(gpu_object(gpu));

    root["storage"] = json::array();
    for (const DriveInfo& drive : snapshot.storage) root["storage"].push_back(drive_object(drive));

    json& transcription = root["capabilities"]["transcription"];
    transcription["status"] = capability_status_name(snapshot.transcription.status);
    transcription["warnings"] = string_array(snapshot.transcription.warnings);

    const LlmServerCapability& llm = snapshot.llm_server;
    json& llm_server = root["capabilities"]["llm_server"];
    llm_server["status"] = capability_status_name(llm.status);
    llm_server["warnings"] = string_array(llm.warnings);
    llm_server["recommended_gpu_layers"] = llm.recommended_gpu_layers;
    llm_server["recommended_threads"] = llm.recommended_threads;
    llm_server["best_gpu_index"] = llm.best_gpu_index;
    llm_server["expected_tokens_per_sec"] = llm.expected_tokens_per_sec;
    llm_server["recommended_mode"] = llm.recommended_mode;

    return root.dump(-1, ' ', false, json::error_handler_t::strict);
}

}  // namespace mrv
