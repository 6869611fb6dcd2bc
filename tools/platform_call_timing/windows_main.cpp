// Where the time of a check goes on this Windows (or Wine): times each
// probe's platform calls through WindowsPlatform, DXGI factory creation on its
// own, loading mrv_sysinfo.dll from this program's folder and whole requests
// through its export. Prints milliseconds. Usage: platform_call_timing [ROUNDS]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/windows_platform.h"
#include "platform_calls.h"
#include "probes/nvml_binding.h"

namespace {

using Clock = std::chrono::steady_clock;
using CapabilitiesEntry = std::int32_t (*)(char*, std::int32_t);

template <typename Work>
double milliseconds(Work&& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    mrv::WindowsPlatform platform;
    mrv::NvmlBinding nvml;
    std::printf("NVML load attempt: %.3f ms\n", milliseconds([&] { nvml = mrv::open_nvml_binding(platform); }));

    for (int round = 1; round <= rounds; ++round) {
        const double cpu = milliseconds([&] { mrv::make_cpu_platform_calls(platform); });
        const double memory = milliseconds([&] { mrv::make_memory_platform_calls(platform); });
        const double gpus = milliseconds([&] { mrv::make_gpu_platform_calls(platform, nvml); });
        const double storage = milliseconds([&] { mrv::make_storage_platform_calls(platform); });
        std::printf("platform calls, round %d: cpu %.3f, memory %.3f, gpus %.3f, storage %.3f ms\n", round, cpu,
                    memory, gpus, storage);
    }
    for (int round = 1; round <= rounds; ++round) {
        const double factory = milliseconds([&] {
            mrv::Handle created = 0;
            if (platform.create_dxgi_factory1_factory4(created) == mrv::win::kSOk) platform.release(created);
        });
        std::printf("DXGI factory alone (create, release), round %d: %.3f ms\n", round, factory);
    }

    mrv::Handle library = 0;
    const double load = milliseconds([&] { library = platform.load_library_ex_default_dirs("mrv_sysinfo.dll"); });
    const mrv::Symbol symbol = library == 0 ? 0 : platform.get_proc_address(library, "get_system_capabilities_json");
    if (symbol == 0) {
        std::printf("mrv_sysinfo.dll not found beside this program\n");
        return 0;
    }
    std::printf("mrv_sysinfo.dll load (with its load-time state): %.3f ms\n", load);
    const auto entry = reinterpret_cast<CapabilitiesEntry>(symbol);
    for (int round = 1; round <= rounds; ++round) {
        std::int32_t needed = 0;
        const double request = milliseconds([&] { needed = entry(nullptr, 0); });
        std::printf("request (size query), round %d: %.3f ms, %d bytes\n", round, request, needed);
    }
    return 0;
}
