// The records one request fills. Plain values with their initial state as
// default member values, so a probe that writes nothing leaves them in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mrv {

enum class CapabilityStatus : std::int32_t { None = 0, Minimal = 1, Ok = 2 };

struct CpuInfo {
    std::string brand;
    std::int32_t physical_cores = 0;
    std::int32_t logical_cores = 0;
    std::int32_t base_frequency_mhz = 0;
    std::int32_t max_frequency_mhz = 0;
    bool has_avx2 = false;
    bool has_avx512 = false;
    bool has_f16c = false;
    bool has_fma = false;
    double estimated_flops = 0.0;
};

struct MemoryInfo {
    std::uint64_t total_ram_bytes = 0;
    std::uint64_t available_ram_bytes = 0;
    std::uint64_t total_page_file_bytes = 0;
    std::uint64_t available_page_file_bytes = 0;
};

struct GpuInfo {
    std::string name;
    std::uint32_t vendor_id = 0;
    bool is_discrete = false;
    bool recommended_for_llm = false;
    std::uint64_t dedicated_vram_bytes = 0;
    std::uint64_t shared_vram_bytes = 0;
    std::uint64_t vram_budget_bytes = 0;
    std::uint64_t current_vram_usage_bytes = 0;
    bool has_nvml_support = false;
    std::int32_t score = 0;
    double memory_bandwidth_gbs = 0.0;
    std::string architecture;
    std::string memory_type;
    bool bandwidth_from_nvml = false;
    bool is_mobile = false;
};

struct DriveInfo {
    char drive_letter = 'A';  // always set by the storage probe
    std::uint64_t free_space_bytes = 0;
    std::uint64_t total_space_bytes = 0;
    bool is_ssd = false;
};

struct TranscriptionCapability {
    CapabilityStatus status = CapabilityStatus::None;
    std::vector<std::string> warnings;
};

struct LlmServerCapability {
    CapabilityStatus status = CapabilityStatus::None;
    std::vector<std::string> warnings;
    std::int32_t recommended_gpu_layers = 0;
    std::int32_t recommended_threads = 1;
    std::int32_t best_gpu_index = -1;
    double expected_tokens_per_sec = 0.0;
    std::string recommended_mode;
};

struct SystemSnapshot {
    CpuInfo cpu;
    MemoryInfo memory;
    std::vector<GpuInfo> gpus;
    std::vector<DriveInfo> storage;
    TranscriptionCapability transcription;
    LlmServerCapability llm_server;
};

}  // namespace mrv
