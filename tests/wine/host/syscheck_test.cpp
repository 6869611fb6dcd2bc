// syscheck.exe as users run it: its own folder, a library beside it, another
// working directory. The library is a scripted double except in the last case.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "wine_test_support.h"

namespace {

namespace wt = mrv::wine_test;

const std::string kLoadFailed = "Не удалось загрузить библиотеку проверки системы (mrv_sysinfo.dll).";
const std::string kEntryMissing = "В библиотеке не найдена функция get_system_capabilities_json.";
const std::string kBadSize = "Библиотека вернула некорректный размер буфера.";
const std::string kNoDocument = "Библиотека не смогла сформировать отчёт о системе.";
const std::string kProcessingError = "Ошибка обработки отчёта: ";
// nlohmann-json 3.11.3's words for an empty input (3.11.2 worded it otherwise).
const std::string kEmptyInput =
    "[json.exception.parse_error.101] parse error at line 1, column 1: attempting to parse an empty input; check "
    "that your input string or stream contains the expected JSON";

const std::string kMemoryWarning = "Недостаточно оперативной памяти для распознавания речи";
const std::string kCpuWarning = "Процессор без AVX2: распознавание будет медленным";

// Longer than any report a case expects, so that a rewrite must truncate it.
const std::string kStaleReport = "stale report of an earlier run\r\n" + std::string(400, '=') + "\r\nend";

std::string transcription(const std::string& members) {
    return R"({"capabilities":{"transcription":{)" + members + "}}}";
}

std::string parse_error_of(const std::string& text) {
    try {
        const auto parsed = nlohmann::json::parse(text);
        ADD_FAILURE() << "accepted: " << parsed.dump();
    } catch (const nlohmann::json::parse_error& error) {
        return error.what();
    }
    return {};
}

std::string size_of(const std::string& document) { return std::to_string(document.size() + 1); }

// One case folder: syscheck.exe (under `program` if given), a library as
// mrv_sysinfo.dll (none when `library` is empty), a stale report, and a
// separate working directory.
class SyscheckCase {
public:
    SyscheckCase(const std::string& name, const std::string& library, const std::string& program = "syscheck.exe")
        : folder_(wt::make_scratch_directory(name)),
          elsewhere_(wt::make_scratch_directory(name + "_cwd")),
          program_(program) {
        EXPECT_TRUE(wt::copy_file(wt::program_directory() + "syscheck.exe", program_path()));
        if (!library.empty()) {
            EXPECT_TRUE(wt::copy_file(wt::program_directory() + library, folder_ + "mrv_sysinfo.dll"));
        }
        EXPECT_TRUE(wt::write_file(report_path(), kStaleReport));
    }

    const std::string& folder() const { return folder_; }
    const std::string& elsewhere() const { return elsewhere_; }
    std::string report_path() const { return folder_ + "syscheck_report.txt"; }
    std::string program_path() const { return folder_ + program_; }
    void remove_report() const { EXPECT_TRUE(DeleteFileA(report_path().c_str())); }

    void write(const std::string& name, const std::string& bytes) const {
        EXPECT_TRUE(wt::write_file(folder_ + name, bytes));
    }
    void script(const std::string& lines) const { write("library_double_script.txt", lines); }

    wt::ProcessResult run(const std::string& arguments = "") const {
        const wt::ProcessResult process = wt::run_process("\"" + program_path() + "\"" + arguments, elsewhere_);
        EXPECT_TRUE(process.started);
        EXPECT_FALSE(process.timed_out);
        EXPECT_EQ(process.out, "");
        EXPECT_EQ(process.err, "");
        EXPECT_FALSE(wt::file_exists(elsewhere_ + "syscheck_report.txt"));
        return process;
    }

    // nullopt: the stale report is still there, unchanged.
    std::optional<std::string> report() const {
        const std::string bytes = wt::read_file(report_path());
        if (bytes == kStaleReport) return std::nullopt;
        return bytes;
    }

    // What the double saw.
    std::string log() const { return wt::read_file(folder_ + "library_double_log.txt"); }

private:
    std::string folder_;
    std::string elsewhere_;
    std::string program_;
};

const char* const kDouble = "syscheck_library_double.dll";

TEST(SyscheckWithDouble, ExitStatusReportAndCallsFollowTheLibrarysAnswers) {
    const std::string minimal = transcription(R"("status":"minimal","warnings":[")" + kMemoryWarning + R"(",7,")" +
                                              kCpuWarning + R"(",null,"третье"])");
    const std::string ok = transcription(R"("status":"ok","warnings":[")" + kCpuWarning + R"("])");
    const std::string none_quiet = transcription(R"("status":"none","warnings":[])");
    const std::string long_ok = R"({"cpu":{"brand":")" + std::string(300, 'x') + R"("},)" + ok.substr(1);
    const std::string truncated = minimal.substr(0, 40);
    const std::string grown = minimal + std::string(64, ' ');

    const std::string two_calls_of = "call null 0\ncall buffer ";
    struct Case {
        std::string name;
        std::string script;
        std::vector<std::pair<std::string, std::string>> documents;
        std::uint32_t exit_code;
        std::optional<std::string> report;
        std::string log;
    };
    const std::vector<Case> cases = {
        {"minimal", "minimal.json\n", {{"minimal.json", minimal}}, 2,
         kMemoryWarning + "\r\n" + kCpuWarning + "\r\nтретье",
         two_calls_of + size_of(minimal) + " zeroed\ndetach free\n"},
        {"ok_keeps_old_report", "ok.json\n", {{"ok.json", ok}}, 0, std::nullopt,
         two_calls_of + size_of(ok) + " zeroed\ndetach free\n"},
        {"none_without_warnings", "none.json\n", {{"none.json", none_quiet}}, 1, std::nullopt,
         two_calls_of + size_of(none_quiet) + " zeroed\ndetach free\n"},
        {"malformed_document", "bad.json\n", {{"bad.json", truncated}}, 1, kProcessingError + parse_error_of(truncated),
         two_calls_of + size_of(truncated) + " zeroed\ndetach free\n"},
        {"size_query_0", "ok.json 0\n", {{"ok.json", ok}}, 1, kBadSize, "call null 0\ndetach free\n"},
        {"size_query_negative", "ok.json -7\n", {{"ok.json", ok}}, 1, kBadSize, "call null 0\ndetach free\n"},
        {"second_call_0", "ok.json\nok.json 0\n", {{"ok.json", ok}}, 1, kNoDocument,
         two_calls_of + size_of(ok) + " zeroed\ndetach free\n"},
        {"second_call_negative", "ok.json\nok.json -1\n", {{"ok.json", ok}}, 1, kNoDocument,
         two_calls_of + size_of(ok) + " zeroed\ndetach free\n"},
        {"second_call_exactly_n", "ok.json\nok.json size\n", {{"ok.json", ok}}, 1, kNoDocument,
         two_calls_of + size_of(ok) + " zeroed\ndetach free\n"},
        {"document_grew", "minimal.json\ngrown.json\n", {{"minimal.json", minimal}, {"grown.json", grown}}, 1,
         kNoDocument, two_calls_of + size_of(minimal) + " zeroed\ndetach free\n"},
        {"shorter_second_document", "long.json\nminimal.json\n", {{"long.json", long_ok}, {"minimal.json", minimal}}, 2,
         kMemoryWarning + "\r\n" + kCpuWarning + "\r\nтретье",
         two_calls_of + size_of(long_ok) + " zeroed\ndetach free\n"},
        {"crash_in_size_query", "crash\n", {}, 1, kNoDocument, "call null 0\n"},
        {"crash_in_second_call", "ok.json\ncrash\n", {{"ok.json", ok}}, 1, kNoDocument,
         two_calls_of + size_of(ok) + " zeroed\n"},
        {"throw_in_size_query", "throw\n", {}, 1, kNoDocument, "call null 0\ndetach free\n"},
        {"throw_in_second_call", "ok.json\nthrow\n", {{"ok.json", ok}}, 1, kNoDocument,
         two_calls_of + size_of(ok) + " zeroed\ndetach free\n"},
        // The length claimed, the buffer left as syscheck zeroed it: text of NUL bytes.
        {"claims_length_writes_nothing", "nothing 10\nnothing 9\n", {}, 1, kProcessingError + kEmptyInput,
         two_calls_of + "10 zeroed\ndetach free\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SyscheckCase run(c.name, kDouble);
        run.script(c.script);
        for (const auto& [file, text] : c.documents) run.write(file, text);
        EXPECT_EQ(run.run().exit_code, c.exit_code);
        EXPECT_EQ(run.report(), c.report);
        EXPECT_EQ(run.log(), c.log);
    }
}

// Nothing to report (status "none" without warnings, or "ok"): no report file
// is made where there was none.
TEST(SyscheckWithDouble, NothingToReportMakesNoReportFile) {
    const struct {
        const char* name;
        std::string document;
        std::uint32_t exit_code;
    } cases[] = {
        {"nothing_to_report_none", transcription(R"("status":"none","warnings":[])"), 1},
        {"nothing_to_report_ok", transcription(R"("status":"ok","warnings":["w"])"), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SyscheckCase run(c.name, kDouble);
        run.remove_report();
        run.script("verdict.json\n");
        run.write("verdict.json", c.document);
        EXPECT_EQ(run.run().exit_code, c.exit_code);
        EXPECT_FALSE(wt::file_exists(run.report_path()));
    }
}

// GetModuleFileNameA fills a buffer of 260 characters: a path of 259 fits
// with its terminator and is used, a longer one comes back cut and ends the
// run before anything is loaded or written. The program's own name makes up
// the length. Wine starts no program from a path of 260 or more, so those
// start as syscheck.exe and the loader is made to hold the longer path in the
// same folder (long_module_path.dll); a cut path would still name that folder.
TEST(SyscheckModulePath, APathOf259CharactersIsUsedOneOf260OrMoreEndsTheRun) {
    const std::string minimal = transcription(R"("status":"minimal","warnings":["w"])");
    for (const std::size_t length : {259u, 260u, 300u}) {
        SCOPED_TRACE(length);
        const std::string name = "module_path_" + std::to_string(length);
        const std::size_t folder_length = wt::make_scratch_directory(name).size();
        ASSERT_LT(folder_length + 5, 259u);
        const std::string long_name = std::string(length - folder_length - 4, 's') + ".exe";
        const SyscheckCase run(name, kDouble, length == 259 ? long_name : "syscheck.exe");
        run.remove_report();
        run.script("minimal.json\n");
        run.write("minimal.json", minimal);
        if (length == 259) {
            ASSERT_EQ(run.program_path().size(), length);
            EXPECT_EQ(run.run().exit_code, 2u);
            EXPECT_EQ(wt::read_file(run.report_path()), "w");
            EXPECT_EQ(run.log(), "call null 0\ncall buffer " + size_of(minimal) + " zeroed\ndetach free\n");
        } else {
            const std::string path = run.folder() + long_name;
            ASSERT_EQ(path.size(), length);
            const wt::ProcessResult process =
                wt::run_process("\"" + run.program_path() + "\"", run.elsewhere(), {{"MRV_TEST_MODULE_PATH", path}},
                                60000, wt::program_directory() + "long_module_path.dll");
            ASSERT_TRUE(process.injected);
            EXPECT_EQ(process.exit_code, 1u);
            EXPECT_FALSE(wt::file_exists(run.report_path()));
            EXPECT_EQ(run.log(), "") << "the library was loaded";
        }
    }
}

TEST(SyscheckWithDouble, ArgumentsAreIgnored) {
    const SyscheckCase run("arguments", kDouble);
    run.script("minimal.json\n");
    run.write("minimal.json", transcription(R"("status":"minimal","warnings":["w"])"));
    EXPECT_EQ(run.run(" /? --help C:\\other extra").exit_code, 2u);
    EXPECT_EQ(run.report(), "w");
}

TEST(SyscheckWithoutUsableLibrary, EachCaseReportsItsMessage) {
    {
        SCOPED_TRACE("export missing");
        const SyscheckCase run("export_missing", "syscheck_library_double_without_entry.dll");
        EXPECT_EQ(run.run().exit_code, 1u);
        EXPECT_EQ(run.report(), kEntryMissing);
        EXPECT_EQ(run.log(), "detach free\n");
    }
    {
        SCOPED_TRACE("library missing");
        const SyscheckCase run("library_missing", "");
        EXPECT_EQ(run.run().exit_code, 1u);
        EXPECT_EQ(run.report(), kLoadFailed);
    }
    {
        SCOPED_TRACE("library only in the working directory");
        const SyscheckCase run("library_in_working_directory", "");
        ASSERT_TRUE(wt::copy_file(wt::program_directory() + kDouble, run.elsewhere() + "mrv_sysinfo.dll"));
        ASSERT_TRUE(wt::write_file(run.elsewhere() + "library_double_script.txt", "ok.json\n"));
        ASSERT_TRUE(wt::write_file(run.elsewhere() + "ok.json", transcription(R"("status":"ok")")));
        EXPECT_EQ(run.run().exit_code, 1u);
        EXPECT_EQ(run.report(), kLoadFailed);
        EXPECT_FALSE(wt::file_exists(run.elsewhere() + "library_double_log.txt"));
    }
}

// A handle on the report held by another process's worth of code.
class HeldFile {
public:
    HeldFile(const std::string& path, DWORD share)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
    }
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    HANDLE handle_;
};

TEST(SyscheckReportFile, SharedForReadingAndWritingAndSilentWhenLocked) {
    const std::string document = transcription(R"("status":"minimal","warnings":["w"])");
    {
        SCOPED_TRACE("open elsewhere for reading and writing");
        const SyscheckCase run("report_shared", kDouble);
        run.script("minimal.json\n");
        run.write("minimal.json", document);
        const HeldFile reader(run.report_path(), FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_EQ(run.run().exit_code, 2u);
        EXPECT_EQ(run.report(), "w");
    }
    {
        SCOPED_TRACE("locked elsewhere");
        const SyscheckCase run("report_locked", kDouble);
        run.script("minimal.json\n");
        run.write("minimal.json", document);
        {
            const HeldFile locker(run.report_path(), 0);
            EXPECT_EQ(run.run().exit_code, 2u);
        }
        EXPECT_EQ(run.report(), std::nullopt);
    }
}

using Entry = std::int32_t(__cdecl*)(char*, std::int32_t);

// The document the real library gives this machine, by the two-call protocol.
std::string real_library_document() {
    HMODULE module = LoadLibraryA((wt::program_directory() + "mrv_sysinfo.dll").c_str());
    if (module == nullptr) return {};
    const auto entry =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "get_system_capabilities_json")));
    std::string document;
    if (entry != nullptr) {
        const std::int32_t needed = entry(nullptr, 0);
        std::string buffer(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
        const std::int32_t length = entry(buffer.data(), needed);
        if (length > 0 && length < needed) document = buffer.substr(0, static_cast<std::size_t>(length));
    }
    FreeLibrary(module);
    return document;
}

TEST(SyscheckWithRealLibrary, ExitStatusAndReportAgreeWithItsDocument) {
    const auto document = nlohmann::json::parse(real_library_document());
    const auto& verdict = document.at("capabilities").at("transcription");
    const std::string status = verdict.at("status").get<std::string>();
    std::string warnings;
    for (const auto& warning : verdict.at("warnings"))
        warnings += (warnings.empty() ? "" : "\r\n") + warning.get<std::string>();
    const std::uint32_t expected_exit = status == "ok" ? 0 : status == "minimal" ? 2 : 1;

    const SyscheckCase run("real_library", "mrv_sysinfo.dll");
    EXPECT_EQ(run.run().exit_code, expected_exit) << status;
    if (expected_exit == 0 || warnings.empty()) {
        EXPECT_EQ(run.report(), std::nullopt);
    } else {
        EXPECT_EQ(run.report(), warnings);
    }
}

}  // namespace
