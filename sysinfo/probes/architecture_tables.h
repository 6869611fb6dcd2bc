// The adapter-family tables read from "gpu_architectures.json": architecture
// and memory-type entries in byte-wise order of their names (the JSON
// library's key order), pattern lists in the file's order.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace mrv {

struct ArchitectureEntry {
    std::string name;
    double coefficient = 0.0;  // GB/s per GiB of dedicated memory; <= 0 gives no estimate
    std::vector<std::string> patterns;
};

struct MemoryTypeEntry {
    std::string name;
    double multiplier = 0.0;  // kept with the entry; no result reads it
    std::vector<std::string> patterns;
};

struct ArchitectureTables {
    std::vector<ArchitectureEntry> architectures;
    std::vector<MemoryTypeEntry> memory_types;
    std::vector<std::string> mobile_patterns;
    std::vector<std::string> igpu_patterns;  // kept; no result reads them
};

// Reads one JSON value from in (a byte-order mark is skipped, text after the
// value is not read) and takes the four tables from it. Throws the JSON
// library's exceptions on malformed text or a value of the wrong kind.
ArchitectureTables read_architecture_tables(std::istream& in);

// Opens path, reads it and writes exactly one diagnostic-log line with the
// outcome. Empty when the file cannot be opened or fails to read; never throws.
std::optional<ArchitectureTables> load_tables(const char* path) noexcept;

}  // namespace mrv
