// Architecture, memory type, mobile flag and memory bandwidth of one adapter:
// measured through NVML where the adapter has a device handle, otherwise
// estimated from dedicated memory and the architecture's coefficient.
#pragma once

#include <string>
#include <vector>

#include "boundary/snapshot.h"
#include "platform/platform.h"
#include "probes/architecture_tables.h"

namespace mrv {

class GpuBandwidthEstimator {
public:
    // Loads the tables from table_path (relative: the current directory) and
    // logs the outcome as one diagnostic-log line.
    explicit GpuBandwidthEstimator(const char* table_path = "gpu_architectures.json");
    // Tables already read elsewhere (tests, tools); loaded false reads as no tables.
    GpuBandwidthEstimator(ArchitectureTables tables, bool loaded);

    // Case-sensitive byte substring test; an empty pattern matches every name.
    bool name_matches(const std::string& name, const std::string& pattern) const;
    // First entry in table order with a matching pattern; empty when none or not loaded.
    std::string detect_architecture(const std::string& name) const;
    std::string detect_memory_type(const std::string& name) const;
    bool detect_mobile(const std::string& name) const;

    // Writes memory_bandwidth_gbs, architecture, memory_type,
    // bandwidth_from_nvml and is_mobile of gpu on every path. device 0: none.
    void estimate(Platform& platform, GpuInfo& gpu, NvmlDevice device) const;

    const std::vector<ArchitectureEntry>& architectures() const { return architectures_; }
    const std::vector<MemoryTypeEntry>& memory_types() const { return memory_types_; }
    const std::vector<std::string>& mobile_patterns() const { return mobile_patterns_; }
    const std::vector<std::string>& igpu_patterns() const { return igpu_patterns_; }
    bool loaded() const { return loaded_; }

private:
    explicit GpuBandwidthEstimator(std::optional<ArchitectureTables> tables);

    const ArchitectureEntry* find_architecture(const std::string& name) const;
    // Bandwidth through NVML, or 0.0 for every shortfall.
    double measure_with_nvml(Platform& platform, NvmlDevice device) const;
    double table_estimate(const GpuInfo& gpu, const ArchitectureEntry* architecture) const;

    std::vector<ArchitectureEntry> architectures_;
    std::vector<MemoryTypeEntry> memory_types_;
    std::vector<std::string> mobile_patterns_;
    std::vector<std::string> igpu_patterns_;
    bool loaded_ = false;
};

}  // namespace mrv
