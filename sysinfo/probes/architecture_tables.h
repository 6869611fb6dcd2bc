// The adapter-family tables read from "gpu_architectures.json": architecture
// and memory-type entries in byte-wise order of their names (the JSON
// library's key order), pattern lists in the file's order.
#pragma once

#include <functional>
#include <istream>
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

// Opens path, reads it and hands the tables to `take`, whose work is part of
// the read: a standard exception out of either fails the load. Writes
// exactly one diagnostic-log line with the outcome. True when the tables
// were read and taken; never throws.
bool load_tables(const char* path, const std::function<void(ArchitectureTables&&)>& take) noexcept;

}  // namespace mrv
