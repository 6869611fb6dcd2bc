// Prints the capabilities document of the mrv_sysinfo.dll beside this
// program, fetched exactly as syscheck fetches it (same protocol, same
// checks, same messages). Compact by default, indented with --pretty.
// Exit status 1, with syscheck's message, when no document came.
#include <cstdio>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "core/library_binding.h"
#include "windows/windows_library_calls.h"
#include "windows/windows_program_directory.h"

int main(int argc, char** argv) {
    const bool pretty = argc > 1 && std::strcmp(argv[1], "--pretty") == 0;
    mrv::syscheck::WindowsLibraryCalls calls;
    std::string document;
    std::string error;
    if (!mrv::syscheck::fetch_capabilities_json(calls, mrv::syscheck::get_program_directory(), document, error)) {
        std::fprintf(stderr, "sysinfo_dump: %s\n", error.c_str());
        return 1;
    }

    std::string text = document;
    if (pretty) {
        try {
            text = nlohmann::json::parse(document).dump(2);
        } catch (const nlohmann::json::exception& parse_error) {
            std::fprintf(stderr, "sysinfo_dump: the document is not valid JSON: %s\n", parse_error.what());
        }
    }
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
