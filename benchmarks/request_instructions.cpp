// Runs COUNT capabilities requests on one sample machine, then COUNT rounds
// of the same platform calls alone, both on the lean platform, and nothing
// else; tools/callgrind_request.sh counts the instructions of each.
// Usage: request_instructions MACHINE COUNT, or --list for the machines' names.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "boundary/request.h"
#include "lean_platform.h"
#include "load_time_state.h"
#include "platform_calls.h"
#include "sample_machines.h"

int main(int argc, char** argv) {
    using namespace mrv::bench;
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (const SampleMachine& machine : sample_machines()) std::printf("%s\n", machine.name.c_str());
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: request_instructions MACHINE COUNT\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    for (const SampleMachine& machine : sample_machines()) {
        if (machine.name != argv[1]) continue;
        LeanPlatform platform{machine.profile};
        const mrv::NvmlBinding nvml = mrv::open_nvml_binding(platform);
        const mrv::LibraryContext context{platform, nvml, benchmark_estimator()};
        std::size_t bytes = 0;
        for (int i = 0; i < count; ++i) bytes += mrv::collect_capabilities_document(context).size();
        for (int i = 0; i < count; ++i) mrv::make_request_platform_calls(platform, nvml);
        std::printf("%d requests on %s, %zu document bytes, tables: %s\n", count, argv[1], bytes,
                    estimator_source().c_str());
        return 0;
    }
    std::fprintf(stderr, "request_instructions: no sample machine named %s\n", argv[1]);
    return 2;
}
