// What a long-lived application does with the library, over and over:
// load it, ask for the document as docs/deploying.md tells (size, then
// text), free it. Or, as the baseline, only the platform calls of those two
// requests, made in this process: Wine's own growth for the same calls.
// At each checkpoint it prints "checkpoint N FREE", FREE being how many TLS
// slots the process could still take, and waits for a line on its standard
// input, so that a test outside Wine can read its memory there.
//
//   load_cycles.exe (LIBRARY | --platform-calls) WARM_UP CYCLES CHECKPOINTS
//
// Checkpoint 0 follows the warm-up cycles, each later one CYCLES more. Exit
// status 0 when every cycle loaded the library and got a document.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "free_tls_slots.h"
#include "platform/windows_platform.h"
#include "platform_calls.h"
#include "probes/nvml_binding.h"

namespace {

using CapabilitiesFn = std::int32_t (*)(char* buffer, std::int32_t buffer_size);

bool library_cycle(const wchar_t* library_path) {
    HMODULE library = LoadLibraryW(library_path);
    if (library == nullptr) return false;
    const auto get =
        reinterpret_cast<CapabilitiesFn>(reinterpret_cast<void*>(GetProcAddress(library, "get_system_capabilities_json")));
    bool ok = false;
    if (get != nullptr) {
        const std::int32_t n = get(nullptr, 0);
        if (n > 0) {
            std::vector<char> document(static_cast<std::size_t>(n));
            const std::int32_t m = get(document.data(), n);
            ok = m > 0 && m < n && document[0] == '{';
        }
    }
    FreeLibrary(library);
    return ok;
}

bool platform_calls_cycle() {
    static mrv::WindowsPlatform platform;
    static const mrv::NvmlBinding nvml = mrv::open_nvml_binding(platform);
    for (int request = 0; request < 2; ++request) mrv::make_request_platform_calls(platform, nvml);
    return true;
}

bool checkpoint(long number) {
    char line[16];
    std::printf("checkpoint %ld %d\n", number, mrv::wine_test::free_tls_slots());
    std::fflush(stdout);
    return std::fgets(line, sizeof line, stdin) != nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: load_cycles (LIBRARY | --platform-calls) WARM_UP CYCLES CHECKPOINTS\n");
        return 2;
    }
    const bool platform_calls = std::wcscmp(argv[1], L"--platform-calls") == 0;
    const auto cycles = [&](long count, long after) {
        for (long cycle = 0; cycle < count; ++cycle) {
            if (!(platform_calls ? platform_calls_cycle() : library_cycle(argv[1]))) {
                std::fprintf(stderr, "cycle %ld after checkpoint %ld got no document\n", cycle, after);
                return false;
            }
        }
        return true;
    };
    const long checkpoints = std::wcstol(argv[4], nullptr, 10);
    if (!cycles(std::wcstol(argv[2], nullptr, 10), -1) || !checkpoint(0)) return 1;
    for (long point = 1; point <= checkpoints; ++point)
        if (!cycles(std::wcstol(argv[3], nullptr, 10), point - 1) || !checkpoint(point)) return 1;
    return 0;
}
