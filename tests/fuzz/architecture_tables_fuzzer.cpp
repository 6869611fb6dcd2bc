// The architecture-table file as a deployer might have mangled it: any bytes.
// The reader either refuses them with one of the JSON library's exceptions
// (which the load turns into its parse-error line) or yields tables that
// keep the names' byte order, survive a round trip through JSON, and do not
// depend on anything after the first value.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "probes/architecture_tables.h"

namespace {

using mrv::ArchitectureTables;
using mrv::fuzz::require;
using nlohmann::json;

std::optional<ArchitectureTables> read(const std::string& bytes) {
    std::istringstream in(bytes);
    try {
        return mrv::read_architecture_tables(in);
    } catch (const json::exception&) {
        return std::nullopt;  // parse, type or range error: the load's parse-error line
    }
}

template <typename Entry>
bool names_ascend(const std::vector<Entry>& entries) {
    for (std::size_t i = 1; i < entries.size(); ++i)
        if (!(entries[i - 1].name < entries[i].name)) return false;
    return true;
}

json strings(const std::vector<std::string>& texts) {
    json array = json::array();
    for (const std::string& text : texts) array.push_back(text);
    return array;
}

// The file that, read back, should give the same tables.
std::string as_file(const ArchitectureTables& tables) {
    json file = json::object();
    file["architectures"] = json::object();
    for (const auto& entry : tables.architectures)
        file["architectures"][entry.name] = {{"coefficient", entry.coefficient}, {"patterns", strings(entry.patterns)}};
    file["memory_types"] = json::object();
    for (const auto& entry : tables.memory_types)
        file["memory_types"][entry.name] = {{"multiplier", entry.multiplier}, {"patterns", strings(entry.patterns)}};
    file["mobile_patterns"] = strings(tables.mobile_patterns);
    file["igpu_patterns"] = strings(tables.igpu_patterns);
    return file.dump(-1, ' ', false, json::error_handler_t::strict);
}

bool same(const ArchitectureTables& a, const ArchitectureTables& b) {
    if (a.architectures.size() != b.architectures.size() || a.memory_types.size() != b.memory_types.size())
        return false;
    for (std::size_t i = 0; i < a.architectures.size(); ++i) {
        const auto& x = a.architectures[i];
        const auto& y = b.architectures[i];
        if (x.name != y.name || x.coefficient != y.coefficient || x.patterns != y.patterns) return false;
    }
    for (std::size_t i = 0; i < a.memory_types.size(); ++i) {
        const auto& x = a.memory_types[i];
        const auto& y = b.memory_types[i];
        if (x.name != y.name || x.multiplier != y.multiplier || x.patterns != y.patterns) return false;
    }
    return a.mobile_patterns == b.mobile_patterns && a.igpu_patterns == b.igpu_patterns;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<ArchitectureTables> tables = read(bytes);
    if (!tables) return 0;

    require(names_ascend(tables->architectures), "architectures in ascending byte order of their names");
    require(names_ascend(tables->memory_types), "memory types in ascending byte order of their names");

    // as_file dumps strictly, so every name and pattern is valid UTF-8 or this throws.
    const std::optional<ArchitectureTables> again = read(as_file(*tables));
    require(again && same(*tables, *again), "tables survive a round trip through JSON");

    const std::optional<ArchitectureTables> trailed = read(bytes + " \xff{trailing");
    require(trailed && same(*tables, *trailed), "text after the first value is not read");
    return 0;
}
