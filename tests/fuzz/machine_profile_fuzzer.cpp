// Machine profile files as a hand edit or a broken recorder leaves them: any
// bytes. The reader refuses them with its ProfileFormatError alone, or gives
// a profile that survives a write and read, and that a whole request on it
// answers with a document, releasing every object it acquired.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "boundary/request.h"
#include "fuzz_check.h"
#include "machine_profiles/profile_json.h"
#include "machine_profiles/profile_platform.h"
#include "probes/nvml_binding.h"

namespace {

using mrv::fuzz::require;

std::optional<mrv::MachineProfile> read(const std::string& text) {
    try {
        return mrv::read_machine_profile(text);
    } catch (const mrv::ProfileFormatError&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<mrv::MachineProfile> profile = read(std::string(reinterpret_cast<const char*>(data), size));
    if (!profile) return 0;

    const std::string written = mrv::write_machine_profile(*profile);
    const std::optional<mrv::MachineProfile> again = read(written);
    require(again.has_value(), "a written profile reads back");
    require(mrv::write_machine_profile(*again) == written, "reading back gives the same profile");

    mrv::ProfilePlatform platform(*profile);
    const mrv::NvmlBinding nvml = mrv::open_nvml_binding(platform);
    static const mrv::GpuBandwidthEstimator estimator(mrv::ArchitectureTables{{{"Any", 10.0, {""}}}, {}, {}, {}},
                                                      true);
    const mrv::LibraryContext context{platform, nvml, estimator};
    std::string buffer(1 << 20, '\0');
    const std::int32_t length =
        mrv::answer_capabilities_request(context, buffer.data(), static_cast<std::int32_t>(buffer.size()));
    require(length > 0 && length < static_cast<std::int32_t>(buffer.size()), "the request answers with a document");
    require(nlohmann::json::accept(buffer.substr(0, static_cast<std::size_t>(length))), "the document parses");
    require(platform.violations().empty(), "the probes make no call the platform refuses");
    require(platform.all_released(), "every object acquired is released");
    return 0;
}
