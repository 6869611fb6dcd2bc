// syscheck.exe itself, with each of its imports around the report file, its
// module path and the library failing in turn: syscheck_import_faults.dll is
// loaded into it before its main runs and patches its import slots (see
// there). The library beside it is the scripted double, answering "minimal"
// with two warnings, so that an untouched run writes a report. Every run
// must end with the exit status and report its failure calls for, every
// report handle closed once and the library freed once.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

const std::string kLoadFailed = "Не удалось загрузить библиотеку проверки системы (mrv_sysinfo.dll).";
const std::string kEntryMissing = "В библиотеке не найдена функция get_system_capabilities_json.";
const std::string kWarnings = "Мало памяти\r\nМедленный процессор";
const std::string kStaleReport = "stale report of an earlier run";

struct SyscheckRun {
    ProcessResult process;
    std::optional<std::string> report;  // none: the stale one is still there
    std::map<std::string, int> ledger;
    bool library_called = false;  // its entry, as the double's log tells
};

SyscheckRun run_syscheck(const std::string& fault) {
    const std::string name = "syscheck_import_fault_" + (fault.empty() ? std::string("none") : fault);
    const std::string folder = make_scratch_directory(name);
    const std::string elsewhere = make_scratch_directory(name + "_cwd");
    EXPECT_TRUE(copy_file(program_directory() + "syscheck.exe", folder + "syscheck.exe"));
    EXPECT_TRUE(copy_file(program_directory() + "syscheck_library_double.dll", folder + "mrv_sysinfo.dll"));
    EXPECT_TRUE(write_file(folder + "library_double_script.txt", "minimal.json\n"));
    EXPECT_TRUE(write_file(folder + "minimal.json",
                           R"({"capabilities":{"transcription":{"status":"minimal","warnings":["Мало памяти",)"
                           R"("Медленный процессор"]}}})"));
    EXPECT_TRUE(write_file(folder + "syscheck_report.txt", kStaleReport));

    SyscheckRun run;
    run.process = run_process("\"" + folder + "syscheck.exe\"", elsewhere,
                              {{"MRV_SYSCHECK_FAULT", fault}, {"MRV_SYSCHECK_LEDGER", elsewhere + "ledger.txt"}},
                              60000, program_directory() + "syscheck_import_faults.dll");
    const std::string report = read_file(folder + "syscheck_report.txt");
    if (report != kStaleReport) run.report = report;
    std::istringstream ledger(read_file(elsewhere + "ledger.txt"));
    std::string key;
    int value = 0;
    while (ledger >> key >> value) run.ledger[key] = value;
    run.library_called = read_file(folder + "library_double_log.txt").find("call ") != std::string::npos;
    return run;
}

struct FaultCase {
    const char* fault;  // the import that fails, "" for none
    std::uint32_t exit_code;
    std::optional<std::string> report;
    int libraries_loaded;
    int reports_opened;
};

TEST(SyscheckImportFaults, EachImportFailingInTurnEndsAsItShouldAndGivesAllBack) {
    const FaultCase cases[] = {
        {"", 2, kWarnings, 1, 1},
        {"GetModuleFileNameA", 1, std::nullopt, 0, 0},  // no folder: nothing loaded, nothing written
        {"LoadLibraryA", 1, kLoadFailed, 0, 1},
        {"GetProcAddress", 1, kEntryMissing, 1, 1},
        {"FreeLibrary", 2, kWarnings, 1, 1},
        {"CreateFileA", 2, std::nullopt, 1, 0},
        {"WriteFile", 2, "", 1, 1},  // created and truncated, then nothing written
        {"CloseHandle", 2, kWarnings, 1, 1},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(*c.fault == '\0' ? "no fault" : c.fault);
        const SyscheckRun run = run_syscheck(c.fault);
        ASSERT_TRUE(run.process.started);
        ASSERT_TRUE(run.process.injected);
        EXPECT_FALSE(run.process.timed_out);
        EXPECT_EQ(run.process.exit_code, c.exit_code);
        EXPECT_EQ(run.report, c.report);
        ASSERT_FALSE(run.ledger.empty()) << "no ledger: syscheck did not end normally";
        EXPECT_EQ(run.ledger.at("fault_calls") > 0, *c.fault != '\0');
        EXPECT_EQ(run.ledger.at("libraries_loaded"), c.libraries_loaded);
        EXPECT_EQ(run.ledger.at("libraries_freed"), c.libraries_loaded);
        EXPECT_EQ(run.ledger.at("reports_opened"), c.reports_opened);
        EXPECT_EQ(run.ledger.at("reports_closed"), c.reports_opened);
        EXPECT_EQ(run.ledger.at("given_back_twice"), 0);
        EXPECT_EQ(run.library_called, c.libraries_loaded > 0 && std::string(c.fault) != "GetProcAddress");
    }
    std::cout << "syscheck import fault cases: " << std::size(cases) - 1 << "\n";
    RecordProperty("syscheck_import_fault_cases", static_cast<int>(std::size(cases) - 1));
}

}  // namespace
}  // namespace mrv::wine_test
