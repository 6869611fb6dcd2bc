#include "probes/architecture_tables.h"

#include <exception>
#include <fstream>

#include <nlohmann/json.hpp>

#include "boundary/diagnostic_log.h"

namespace mrv {
namespace {

using nlohmann::json;

// Iterating a JSON value itself: an array gives its elements, null nothing, a
// lone string itself. A non-string element throws.
std::vector<std::string> strings_of(const json& value) {
    std::vector<std::string> strings;
    for (const json& element : value) strings.push_back(element.get<std::string>());
    return strings;
}

// Patterns of one architecture or memory-type object (value() has already
// refused anything that is not an object).
std::vector<std::string> patterns_of(const json& entry) {
    const auto found = entry.find("patterns");
    return found == entry.end() ? std::vector<std::string>{} : strings_of(*found);
}

// Calls add(name, entry) for each member of document[key]; key() throws for
// anything but an object, so an array of entries fails the load instead of
// inventing names.
template <typename Add>
void for_each_member(const json& document, const char* key, Add add) {
    if (!document.is_object()) return;
    const auto section = document.find(key);
    if (section == document.end()) return;
    for (auto member = section->begin(); member != section->end(); ++member) add(member.key(), member.value());
}

std::vector<std::string> top_level_strings(const json& document, const char* key) {
    if (!document.is_object()) return {};
    const auto found = document.find(key);
    return found == document.end() ? std::vector<std::string>{} : strings_of(*found);
}

constexpr const char kOpenFailed[] = "[GpuBandwidthEstimator] Не удалось открыть gpu_architectures.json";
constexpr const char kLoaded[] = "[GpuBandwidthEstimator] Таблицы загружены успешно";
constexpr const char kParseFailed[] = "[GpuBandwidthEstimator] Ошибка парсинга JSON: ";

void log_parse_failure(const char* what) noexcept {
    try {
        log_message(kParseFailed + std::string(what));
    } catch (...) {
        // No memory for the line: the load still ends quietly.
    }
}

}  // namespace

ArchitectureTables read_architecture_tables(std::istream& in) {
    json document;
    in >> document;
    ArchitectureTables tables;
    for_each_member(document, "architectures", [&tables](const std::string& name, const json& entry) {
        const double coefficient = entry.value("coefficient", 0.0);
        tables.architectures.push_back({name, coefficient, patterns_of(entry)});
    });
    for_each_member(document, "memory_types", [&tables](const std::string& name, const json& entry) {
        const double multiplier = entry.value("multiplier", 0.0);
        tables.memory_types.push_back({name, multiplier, patterns_of(entry)});
    });
    tables.mobile_patterns = top_level_strings(document, "mobile_patterns");
    tables.igpu_patterns = top_level_strings(document, "igpu_patterns");
    return tables;
}

bool load_tables(const char* path, const std::function<void(ArchitectureTables&&)>& take) noexcept {
    try {
        // Binary: the bytes reach the parser unchanged (a text-mode read on
        // Windows would stop at a 0x1A byte).
        std::ifstream file(path, std::ios::binary);
        if (!file.is_open()) {
            log_message(kOpenFailed);
            return false;
        }
        // Made first, so that nothing can fail once the tables are taken.
        const std::string loaded = kLoaded;
        take(read_architecture_tables(file));
        log_message(loaded);
        return true;
    } catch (const std::exception& error) {
        log_parse_failure(error.what());
    } catch (...) {
        // Nothing but standard exceptions is expected; none may leave library load.
    }
    return false;
}

}  // namespace mrv
