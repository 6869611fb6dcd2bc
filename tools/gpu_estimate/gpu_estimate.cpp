// gpu_estimate [--table FILE] NAME MEMORY
//
// What the library makes of one adapter without NVML: loads the adapter
// table (by default gpu_architectures.json in the working directory, as the
// library does) through the library's loader and prints the architecture,
// memory type, mobile flag and estimated bandwidth for NAME with MEMORY of
// dedicated video memory ("8GiB", "7.6GiB", "8192MiB" or a byte count).
// Exit status: 0 estimated, 1 table not loaded, 2 bad arguments.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "machine_profiles/profile_platform.h"
#include "probes/gpu_bandwidth_estimator.h"

namespace {

constexpr int kEstimated = 0;
constexpr int kTableNotLoaded = 1;
constexpr int kBadArguments = 2;

struct Unit {
    const char* suffix;
    double bytes;
};

constexpr Unit kUnits[] = {{"GiB", 1073741824.0}, {"MiB", 1048576.0}, {"", 1.0}};

bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::optional<std::uint64_t> parse_memory(const std::string& text) {
    for (const Unit& unit : kUnits) {
        if (!ends_with(text, unit.suffix)) continue;
        const std::string number = text.substr(0, text.size() - std::string(unit.suffix).size());
        if (number.empty() || !(std::isdigit(static_cast<unsigned char>(number[0])))) return std::nullopt;
        char* end = nullptr;
        errno = 0;
        const double amount = std::strtod(number.c_str(), &end);
        const double bytes = amount * unit.bytes;
        // 2^64 itself does not fit.
        if (*end != '\0' || errno != 0 || !std::isfinite(bytes) || bytes >= 18446744073709551616.0)
            return std::nullopt;
        return static_cast<std::uint64_t>(bytes);
    }
    return std::nullopt;
}

int usage() {
    std::fputs("usage: gpu_estimate [--table FILE] NAME MEMORY\n"
               "  NAME    the adapter's name as Windows reports it, e.g. \"NVIDIA GeForce RTX 4070\"\n"
               "  MEMORY  dedicated video memory: 8GiB, 7.6GiB, 8192MiB or a byte count\n"
               "  FILE    the adapter table (default: gpu_architectures.json in the working directory)\n",
               stderr);
    return kBadArguments;
}

}  // namespace

int main(int argc, char** argv) {
    std::string table_path = "gpu_architectures.json";
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "--table") {
        table_path = argv[2];
        first = 3;
    }
    if (argc - first != 2) return usage();
    const std::optional<std::uint64_t> dedicated = parse_memory(argv[first + 1]);
    if (!dedicated) {
        std::fprintf(stderr, "gpu_estimate: not a memory size: %s\n", argv[first + 1]);
        return usage();
    }

    const mrv::GpuBandwidthEstimator estimator(table_path.c_str());
    if (!estimator.loaded()) {
        std::fprintf(stderr,
                     "gpu_estimate: %s did not load (set MRV_SYSINFO_LOG_FILE to a file to read the loader's "
                     "reason)\n",
                     table_path.c_str());
        return kTableNotLoaded;
    }
    mrv::GpuInfo gpu;
    gpu.name = argv[first];
    gpu.dedicated_vram_bytes = *dedicated;
    mrv::ProfilePlatform no_nvml{mrv::MachineProfile{}};
    estimator.estimate(no_nvml, gpu, 0);

    std::printf("architecture: %s\n", gpu.architecture.empty() ? "(none)" : gpu.architecture.c_str());
    std::printf("memory type: %s\n", gpu.memory_type.empty() ? "(none)" : gpu.memory_type.c_str());
    std::printf("mobile: %s\n", gpu.is_mobile ? "yes" : "no");
    std::printf("bandwidth: %.1f GB/s\n", gpu.memory_bandwidth_gbs);
    return kEstimated;
}
