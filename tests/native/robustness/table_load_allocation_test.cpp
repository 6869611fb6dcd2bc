// The library builds its estimator in a static initialiser, where an
// escaping exception would end the process that loads the DLL. Indexing the
// tables' patterns allocates after the file has been read; each of those
// allocations failing in turn must end as a failed load: no tables, and the
// parse-error line with the exception's text. This program replaces the
// global operator new to fail one chosen allocation.
//
// (Earlier allocations are not walked: the JSON library allocates while it
// destroys a parsed document, inside a destructor, where a failure ends the
// process whatever the caller does.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <utility>

#include "../support/temp_directory.h"
#include "probes/gpu_bandwidth_estimator.h"

namespace {

bool armed = false;
std::size_t allocations = 0;  // counted while armed
std::size_t fail_at = 0;      // 1-based number of the allocation that fails; 0: none

void* allocate(std::size_t size) {
    if (armed && ++allocations == fail_at) throw std::bad_alloc();
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace mrv {
namespace {

// Something in every table, so that the indexing allocates for each.
const char kTable[] =
    R"({"architectures":{"Ada Lovelace":{"coefficient":42,"patterns":["RTX 40","RTX 4090 D"]},)"
    R"("Xe":{"coefficient":10,"patterns":["UHD","Iris Xe"]}},)"
    R"("memory_types":{"GDDR6X":{"multiplier":1.5,"patterns":["4090","4080"]}},)"
    R"("mobile_patterns":["Laptop","Mobile"],"igpu_patterns":["UHD"]})";

struct Load {
    bool threw = false;
    bool loaded = false;
    bool tables_empty = false;
};

Load load_failing_at(const char* path, std::size_t allocation) {
    Load load;
    allocations = 0;
    fail_at = allocation;
    armed = true;
    try {
        const GpuBandwidthEstimator estimator(path);
        armed = false;
        load.loaded = estimator.loaded();
        load.tables_empty = estimator.architectures().empty() && estimator.memory_types().empty() &&
                            estimator.mobile_patterns().empty() && estimator.igpu_patterns().empty() &&
                            estimator.detect_architecture("NVIDIA GeForce RTX 4090").empty() &&
                            !estimator.detect_mobile("Laptop");
    } catch (...) {
        armed = false;
        load.threw = true;
    }
    return load;
}

// What taking tables already read allocates: the indexing.
std::size_t indexing_allocations() {
    std::istringstream text(kTable);
    ArchitectureTables tables = read_architecture_tables(text);
    allocations = 0;
    fail_at = 0;
    armed = true;
    { const GpuBandwidthEstimator estimator(std::move(tables), true); }
    armed = false;
    return allocations;
}

TEST(TableLoadAllocations, EachFailingAllocationOfTheIndexingEndsAsAFailedLoad) {
    const test::TempDirectory dir;
    const std::string table = (dir / "gpu_architectures.json").string();
    const std::string log = (dir / "sysinfo.log").string();
    test::write_bytes(table, kTable);
    const test::ScopedLogFile log_file(log);

    const std::size_t indexing = indexing_allocations();
    const Load untouched = load_failing_at(table.c_str(), 0);
    const std::size_t total = allocations;
    ASSERT_TRUE(untouched.loaded);
    ASSERT_FALSE(untouched.tables_empty);
    ASSERT_GE(indexing, 3u) << "one index per table at least";
    ASSERT_GT(total, indexing);

    // The load's last allocations are the indexing's.
    for (std::size_t allocation = total - indexing + 1; allocation <= total; ++allocation) {
        SCOPED_TRACE("allocation " + std::to_string(allocation) + " of " + std::to_string(total));
        test::write_bytes(log, "");
        const Load failed = load_failing_at(table.c_str(), allocation);
        ASSERT_FALSE(failed.threw) << "an exception left the load";
        EXPECT_FALSE(failed.loaded);
        EXPECT_TRUE(failed.tables_empty);
        EXPECT_EQ(test::read_bytes(log), "[GpuBandwidthEstimator] Ошибка парсинга JSON: std::bad_alloc\r\n");
    }
    RecordProperty("indexing_allocations", static_cast<int>(indexing));
}

}  // namespace
}  // namespace mrv
