// Prints the capabilities document of the mrv_sysinfo.dll beside this
// program, through the same two-call protocol syscheck uses. Compact by
// default, indented with --pretty. Exit status 1 when no document came.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

namespace {

using CapabilitiesEntry = std::int32_t (*)(char*, std::int32_t);

std::string own_directory() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string text(path, length);
    return text.substr(0, text.find_last_of("\\/") + 1);
}

bool fetch_document(CapabilitiesEntry entry, std::string& document) {
    const std::int32_t needed = entry(nullptr, 0);
    if (needed <= 0) return false;
    std::string buffer(static_cast<std::size_t>(needed), '\0');
    const std::int32_t length = entry(&buffer[0], needed);
    if (length <= 0 || length >= needed) return false;
    document.assign(buffer.data(), static_cast<std::size_t>(length));
    return true;
}

int fail(const char* message) {
    std::fprintf(stderr, "sysinfo_dump: %s\n", message);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool pretty = argc > 1 && std::strcmp(argv[1], "--pretty") == 0;
    const std::string library_path = own_directory() + "mrv_sysinfo.dll";
    HMODULE library = LoadLibraryA(library_path.c_str());
    if (library == nullptr) return fail("cannot load mrv_sysinfo.dll");
    const auto entry = reinterpret_cast<CapabilitiesEntry>(
        reinterpret_cast<void*>(GetProcAddress(library, "get_system_capabilities_json")));
    std::string document;
    const bool fetched = entry != nullptr && fetch_document(entry, document);
    FreeLibrary(library);
    if (!fetched) return fail("the library returned no document");

    std::string text = document;
    if (pretty) {
        try {
            text = nlohmann::json::parse(document).dump(2);
        } catch (const nlohmann::json::exception& error) {
            std::fprintf(stderr, "sysinfo_dump: the document is not valid JSON: %s\n", error.what());
        }
    }
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
