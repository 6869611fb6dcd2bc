// Architecture, memory type, mobile flag and memory bandwidth of one adapter:
// measured through NVML where the adapter has a device handle, otherwise
// estimated from dedicated memory and the architecture's coefficient.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "boundary/snapshot.h"
#include "platform/platform.h"
#include "probes/architecture_tables.h"

namespace mrv {

class GpuBandwidthEstimator {
public:
    // Loads the tables from table_path (relative: the current directory),
    // indexing included, and logs the outcome as one diagnostic-log line.
    // Never throws: it runs in the library's static initialiser.
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
    // A name with the summary of its byte pairs, taken once per adapter.
    struct Name {
        const std::string& text;
        std::uint64_t pairs;
    };

    // Every pattern of a table in search order (entries in order, each entry's
    // patterns in order) with its byte-pair summary, made at load, so that a
    // search mostly walks one flat array.
    struct IndexedPattern {
        std::uint64_t pairs;
        std::size_t entry;
        std::string text;
    };
    template <typename Entry>
    static std::vector<IndexedPattern> index_patterns(const std::vector<Entry>& entries);

    // Indexes the tables, then takes them: a failure leaves the estimator without any.
    void adopt(ArchitectureTables&& tables);

    static Name summarised(const std::string& name);
    // Position in its table of the first entry with a pattern in the name, or -1.
    std::ptrdiff_t first_match(const std::vector<IndexedPattern>& index, const Name& name) const;
    const ArchitectureEntry* find_architecture(const Name& name) const;
    std::string detect_memory_type(const Name& name) const;
    bool detect_mobile(const Name& name) const;
    // Bandwidth through NVML, or 0.0 for every shortfall.
    double measure_with_nvml(Platform& platform, NvmlDevice device) const;
    double table_estimate(const GpuInfo& gpu, const ArchitectureEntry* architecture) const;

    std::vector<ArchitectureEntry> architectures_;
    std::vector<MemoryTypeEntry> memory_types_;
    std::vector<std::string> mobile_patterns_;
    std::vector<std::string> igpu_patterns_;
    bool loaded_ = false;
    std::vector<IndexedPattern> architecture_index_;
    std::vector<IndexedPattern> memory_type_index_;
    std::vector<IndexedPattern> mobile_index_;
};

}  // namespace mrv
