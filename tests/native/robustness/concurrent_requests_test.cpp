// Callers on several threads share one platform, one NVML binding and one
// estimator, as every thread of a host process shares the DLL's. The request
// lock alone keeps them apart: each gets the document a lone caller gets, and
// the platform's ledger stays balanced. The tsan preset runs this under
// ThreadSanitizer, which also reports any unguarded access.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../support/temp_directory.h"
#include "boundary/request.h"
#include "machine_profiles/profile_json.h"
#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

// The size query, then a buffer of exactly that size, as syscheck does.
std::string fetch(const LibraryContext& context) {
    const std::int32_t needed = answer_capabilities_request(context, nullptr, 0);
    if (needed <= 0) return "size query failed";
    std::string buffer(static_cast<std::size_t>(needed), '\0');
    const std::int32_t length = answer_capabilities_request(context, buffer.data(), needed);
    if (length <= 0 || length >= needed) return "second call failed";
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

TEST(ConcurrentRequests, EveryCallerGetsTheDocumentALoneCallerGets) {
    const std::filesystem::path source(MRV_SOURCE_DIR);
    ProfilePlatform platform{
        read_machine_profile(test::read_bytes(source / "tests/profiles/workstation_96_cores_two_nvidia.json"))};
    const GpuBandwidthEstimator estimator((source / "data/gpu_architectures.json").string().c_str());
    ASSERT_TRUE(estimator.loaded());
    const NvmlBinding nvml = open_nvml_binding(platform);
    ASSERT_TRUE(nvml.initialised);
    const LibraryContext context{platform, nvml, estimator};
    const std::string alone = fetch(context);
    ASSERT_EQ(alone.front(), '{') << alone;

    constexpr int kThreads = 4;
    constexpr int kRounds = 10;
    std::vector<std::vector<std::string>> documents(kThreads);
    std::vector<std::thread> threads;
    for (auto& mine : documents)
        threads.emplace_back([&mine, &context] {
            for (int round = 0; round < kRounds; ++round) mine.push_back(fetch(context));
        });
    for (auto& thread : threads) thread.join();

    for (const auto& mine : documents) {
        ASSERT_EQ(mine.size(), static_cast<std::size_t>(kRounds));
        for (const std::string& document : mine) EXPECT_EQ(document, alone);
    }
    EXPECT_TRUE(platform.all_released()) << platform.live_objects() << " live";
}

}  // namespace
}  // namespace mrv
