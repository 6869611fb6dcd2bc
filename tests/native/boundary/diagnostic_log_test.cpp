#include "boundary/diagnostic_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "../support/temp_directory.h"

namespace mrv {
namespace {

namespace fs = std::filesystem;
using test::read_bytes;

// Run from inside the folder, so that a log of some default name would show.
TEST(DiagnosticLog, UnsetVariableTouchesNoFile) {
    const test::TempDirectory dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    unsetenv("MRV_SYSINFO_LOG_FILE");
    log_message("[GpuBandwidthEstimator] Таблицы загружены успешно");
    fs::current_path(previous);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(DiagnosticLog, EachMessageIsAppendedAsOneCrLfLineKeepingEarlierContent) {
    const test::TempDirectory dir;
    test::write_bytes(dir / "sysinfo.log", "earlier run\r\n");
    const test::ScopedLogFile log((dir / "sysinfo.log").string());
    log_message("первая");
    log_message("[GpuBandwidthEstimator] Ошибка парсинга JSON: x");
    EXPECT_EQ(read_bytes(dir / "sysinfo.log"),
              "earlier run\r\nпервая\r\n[GpuBandwidthEstimator] Ошибка парсинга JSON: x\r\n");
}

TEST(DiagnosticLog, LineFeedsInsideAMessageBecomeCrLf) {
    const test::TempDirectory dir;
    const test::ScopedLogFile log((dir / "sysinfo.log").string());
    log_message("a\nb\n");
    log_message("");
    EXPECT_EQ(read_bytes(dir / "sysinfo.log"), "a\r\nb\r\n\r\n\r\n");
}

TEST(DiagnosticLog, VariableIsReadAfreshAtEveryMessage) {
    const test::TempDirectory dir;
    {
        const test::ScopedLogFile first((dir / "first.log").string());
        log_message("one");
    }
    {
        const test::ScopedLogFile second((dir / "second.log").string());
        log_message("two");
    }
    log_message("three");
    EXPECT_EQ(read_bytes(dir / "first.log"), "one\r\n");
    EXPECT_EQ(read_bytes(dir / "second.log"), "two\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(DiagnosticLog, UnopenablePathsAreSilentAndCreateNothing) {
    const test::TempDirectory dir;
    const fs::path blocked = dir / "blocked";
    fs::create_directory(blocked);  // a folder standing where the file should be
    for (const std::string& value : {std::string(), (dir / "missing" / "x.log").string(), blocked.string()}) {
        const test::ScopedLogFile log(value);
        log_message("lost");
    }
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_TRUE(fs::is_empty(blocked));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace mrv
