#include "capabilities_of.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "wine_test_support.h"

namespace mrv::wine_test {

nlohmann::json capabilities_in_process(const std::string& directory) {
    using Entry = std::int32_t(__cdecl*)(char*, std::int32_t);
    HMODULE library = LoadLibraryA((directory + "mrv_sysinfo.dll").c_str());
    if (library == nullptr) return nullptr;
    const auto entry =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, "get_system_capabilities_json")));
    std::string text;
    if (entry != nullptr) {
        const std::int32_t needed = entry(nullptr, 0);
        if (needed > 1) {
            std::string buffer(static_cast<std::size_t>(needed), '\0');
            const std::int32_t length = entry(buffer.data(), needed);
            if (length > 0 && length < needed) text = buffer.substr(0, static_cast<std::size_t>(length));
        }
    }
    FreeLibrary(library);
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    return document.is_discarded() ? nlohmann::json() : document;
}

nlohmann::json capabilities_from_process(const std::string& directory, const std::string& working_directory,
                                         const std::map<std::string, std::string>& environment) {
    const ProcessResult run =
        run_process("\"" + directory + "sysinfo_dump.exe\"", working_directory, environment, 60000);
    if (!run.started || run.timed_out || run.exit_code != 0) {
        ADD_FAILURE() << "sysinfo_dump.exe in " << directory << ": started " << run.started << ", timed out "
                      << run.timed_out << ", exit " << run.exit_code << ", " << run.err;
        return nullptr;
    }
    const nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
    if (document.is_discarded()) {
        ADD_FAILURE() << "not a document: " << run.out;
        return nullptr;
    }
    return document;
}

}  // namespace mrv::wine_test
