// Readers for tests/data/gpu_reference.tsv (published figures of real
// adapters) and tests/data/gpu_reference_exceptions.tsv (the rows the shipped
// table is known to get wrong, one check per line, each with its reason).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace mrv::test {

inline const std::string kReferencePath = std::string(MRV_TEST_DATA_DIR) + "/data/gpu_reference.tsv";
inline const std::string kExceptionsPath = std::string(MRV_TEST_DATA_DIR) + "/data/gpu_reference_exceptions.tsv";

struct ReferenceRow {
    std::string name;
    double vram_gb = 0.0;
    std::string memory_type;
    double bandwidth_gbs = 0.0;
    bool mobile = false;
};

struct ReferenceTable {
    std::vector<ReferenceRow> discrete;
    std::vector<std::string> integrated;  // names only: no discrete figure applies
};

struct ListedException {
    std::string row;    // row_key of the reference row
    std::string check;  // "bandwidth", "memory_type" or "mobile"
    std::string reason;
};

inline std::vector<std::string> tab_fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) fields.push_back(field);
    return fields;
}

inline double number_of(const std::string& text, const std::string& line) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') ADD_FAILURE() << "not a number: '" << text << "' in: " << line;
    return value;
}

// Rows that share a Windows name differ in memory size or type.
inline std::string row_key(const std::string& name, double vram_gb, const std::string& memory_type) {
    std::ostringstream key;
    key << name << " | " << vram_gb << " GB | " << memory_type;
    return key.str();
}

inline std::string row_key(const ReferenceRow& row) { return row_key(row.name, row.vram_gb, row.memory_type); }

// Columns: name vendor vram_gb memory_type bus_width_bits bandwidth_gbs mobile
// architecture source; after "# integrated" only names count; other lines
// starting with '#' are notes.
inline ReferenceTable read_reference() {
    ReferenceTable table;
    std::ifstream in(kReferencePath);
    if (!in) ADD_FAILURE() << "cannot read " << kReferencePath;
    std::string line;
    std::getline(in, line);  // header
    bool integrated = false;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (line.rfind("# integrated", 0) == 0) {
            integrated = true;
            continue;
        }
        if (line[0] == '#') continue;
        const std::vector<std::string> fields = tab_fields(line);
        if (integrated) {
            table.integrated.push_back(fields.at(0));
            continue;
        }
        if (fields.size() < 7) {
            ADD_FAILURE() << "short line: " << line;
            continue;
        }
        table.discrete.push_back({fields[0], number_of(fields[2], line), fields[3], number_of(fields[5], line),
                                  fields[6] == "1"});
    }
    return table;
}

// Columns: name vram_gb memory_type check reason.
inline std::vector<ListedException> read_exceptions() {
    std::vector<ListedException> listed;
    std::ifstream in(kExceptionsPath);
    if (!in) ADD_FAILURE() << "cannot read " << kExceptionsPath;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const std::vector<std::string> fields = tab_fields(line);
        if (fields.size() != 5 || fields[4].empty()) {
            ADD_FAILURE() << "an exception needs name, vram_gb, memory_type, check and a reason: " << line;
            continue;
        }
        listed.push_back({row_key(fields[0], number_of(fields[1], line), fields[2]), fields[3], fields[4]});
    }
    return listed;
}

}  // namespace mrv::test
