#include "boundary/request.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

TEST(BufferProtocol, SizesThatCannotHoldTextAndTerminatorWriteNothing) {
    const std::string text = "{\"a\":1}";  // L = 7
    const auto L = static_cast<std::int32_t>(text.size());
    const struct {
        bool null_buffer;
        std::int32_t size;
    } cases[] = {{true, 0}, {true, 100}, {false, 0}, {false, L}, {false, -1}, {false, INT_MIN}};
    for (const auto& c : cases) {
        std::string buffer(16, '#');
        const std::int32_t result = copy_to_caller_buffer(text, c.null_buffer ? nullptr : buffer.data(), c.size);
        EXPECT_EQ(result, L + 1) << c.size;
        EXPECT_EQ(buffer, std::string(16, '#')) << c.size;
    }
}

TEST(BufferProtocol, LargeEnoughBufferGetsTextAndOneNulAndNothingElse) {
    const std::string text = "{\"a\":1}";
    const auto L = static_cast<std::int32_t>(text.size());
    for (const std::int32_t size : {L + 1, L + 5}) {
        std::string buffer(16, '#');
        EXPECT_EQ(copy_to_caller_buffer(text, buffer.data(), size), L);
        EXPECT_EQ(buffer, text + std::string(1, '\0') + std::string(16 - text.size() - 1, '#'));
    }
}

const NvmlBinding no_nvml;
const GpuBandwidthEstimator no_tables{ArchitectureTables{}, false};

TEST(CapabilitiesRequest, SizeQueryThenExactBufferReturnsTheDocument) {
    ProfilePlatform platform{MachineProfile{}};
    const LibraryContext context{platform, no_nvml, no_tables};
    const std::int32_t needed = answer_capabilities_request(context, nullptr, 0);
    ASSERT_GT(needed, 1);
    std::string buffer(static_cast<std::size_t>(needed), '\0');
    const std::int32_t length = answer_capabilities_request(context, buffer.data(), needed);
    ASSERT_EQ(length, needed - 1);
    const auto document = nlohmann::json::parse(buffer.substr(0, static_cast<std::size_t>(length)));
    for (const char* key : {"capabilities", "cpu", "gpus", "memory", "storage"}) EXPECT_TRUE(document.contains(key));
}

// Each probe fills its own member, but the order is still fixed: CPU, memory,
// GPUs, drives. Every platform call belongs to one probe, so the calls of a
// collection must fall into these four runs, in this order.
TEST(CapabilitiesRequest, ProbesRunInTheirFixedOrder) {
    MachineProfile profile;
    profile.number_of_processors = 4;
    profile.memory_status = MemoryStatusEx{};
    profile.logical_drives = 1u << 2;
    profile.drives['C'] = DriveAnswer{};
    ProfilePlatform platform{profile};
    collect_capabilities_document({platform, no_nvml, no_tables});

    const auto probe_of = [](const std::string& call) -> std::string {
        const auto starts = [&call](const char* prefix) { return call.rfind(prefix, 0) == 0; };
        if (starts("cpuid(") || starts("GetSystemInfo") || starts("GetLogicalProcessorInformationEx") ||
            starts("GetLastError") || starts("Reg"))
            return "cpu";
        if (starts("GlobalMemoryStatusEx")) return "memory";
        if (starts("GetLogicalDrives") || starts("GetDriveTypeA") || starts("GetDiskFreeSpaceExA") ||
            starts("CreateFileA") || starts("DeviceIoControl") || starts("CloseHandle"))
            return "storage";
        return "gpu";
    };
    std::vector<std::string> runs;
    for (const std::string& call : platform.calls()) {
        const std::string probe = probe_of(call);
        if (runs.empty() || runs.back() != probe) runs.push_back(probe);
    }
    EXPECT_EQ(runs, (std::vector<std::string>{"cpu", "memory", "gpu", "storage"}));
}

// The profile platform has no lock of its own: callers sharing it rely on
// the request lock alone, as the probes do on Windows.
TEST(CapabilitiesRequest, ConcurrentCallersEachGetACompleteDocument) {
    ProfilePlatform platform{MachineProfile{}};
    const LibraryContext context{platform, no_nvml, no_tables};
    std::vector<std::string> documents(4);
    std::vector<std::thread> threads;
    for (auto& document : documents) {
        threads.emplace_back([&document, &context] {
            for (int round = 0; round < 25; ++round) {
                std::string buffer(8192, '\0');
                const std::int32_t length = answer_capabilities_request(context, buffer.data(), 8192);
                if (length <= 0 || length >= 8192) return;
                document = buffer.substr(0, static_cast<std::size_t>(length));
                if (!nlohmann::json::accept(document)) return;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& document : documents) {
        ASSERT_FALSE(document.empty());
        EXPECT_EQ(document, documents.front());
    }
}

}  // namespace
}  // namespace mrv
