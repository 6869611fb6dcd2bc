// The real library's load-time log: MRV_SYSINFO_LOG_FILE set while the DLL
// loads in a fresh process (sysinfo_dump.exe beside it), with the adapter
// table looked for in a working directory of the case's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../probes/capabilities_of.h"
#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

const std::string kOpenFailed = "[GpuBandwidthEstimator] Не удалось открыть gpu_architectures.json\r\n";
// nlohmann-json 3.11.3's words for an empty input.
const std::string kEmptyTable =
    "[GpuBandwidthEstimator] Ошибка парсинга JSON: [json.exception.parse_error.101] parse error at line 1, "
    "column 1: attempting to parse an empty input; check that your input string or stream contains the expected "
    "JSON\r\n";

std::vector<std::string> entries_of(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

TEST(LoadLog, EachLoadAppendsItsOutcomeAsOneLineAfterWhatIsThere) {
    const std::string working = make_scratch_directory("load_log_lines");
    const std::string log = working + "sysinfo.log";
    ASSERT_TRUE(write_file(log, "earlier run\r\n"));
    const std::map<std::string, std::string> environment{{"MRV_SYSINFO_LOG_FILE", log}};

    EXPECT_TRUE(capabilities_from_process(program_directory(), working, environment).is_object());
    EXPECT_EQ(read_file(log), "earlier run\r\n" + kOpenFailed);

    ASSERT_TRUE(write_file(working + "gpu_architectures.json", ""));
    EXPECT_TRUE(capabilities_from_process(program_directory(), working, environment).is_object());
    EXPECT_EQ(read_file(log), "earlier run\r\n" + kOpenFailed + kEmptyTable);
}

TEST(LoadLog, AnEmptyValueOrAMissingFolderWritesNothingAndTheDocumentStillComes) {
    const std::string working = make_scratch_directory("load_log_unusable");
    {
        SCOPED_TRACE("empty value");
        // Set here and inherited: run_process's own list takes "" as "remove".
        ASSERT_TRUE(SetEnvironmentVariableA("MRV_SYSINFO_LOG_FILE", ""));
        const nlohmann::json document = capabilities_from_process(program_directory(), working);
        SetEnvironmentVariableA("MRV_SYSINFO_LOG_FILE", nullptr);
        EXPECT_TRUE(document.is_object());
    }
    {
        SCOPED_TRACE("folder that does not exist");
        const nlohmann::json document = capabilities_from_process(
            program_directory(), working, {{"MRV_SYSINFO_LOG_FILE", working + "missing\\sysinfo.log"}});
        EXPECT_TRUE(document.is_object());
    }
    EXPECT_EQ(entries_of(working), std::vector<std::string>{});
}

}  // namespace
}  // namespace mrv::wine_test
