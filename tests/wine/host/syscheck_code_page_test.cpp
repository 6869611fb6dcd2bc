// syscheck.exe in folders whose names the ANSI code page cannot hold, as on a
// Russian Windows whose user has a Georgian or Chinese name. This program
// runs with a Russian locale, so that Wine gives it code page 1251, and makes
// and reads those folders with the wide calls. syscheck keeps its narrow
// calls: its manifest's UTF-8 code page is what lets them hold any name.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "../probes/capabilities_of.h"
#include "wine_test_support.h"

namespace {

namespace wt = mrv::wine_test;

const std::string kTablesLoaded = "[GpuBandwidthEstimator] Таблицы загружены успешно\r\n";

std::wstring from_utf8(const std::string& text) { return wt::widen(text, CP_UTF8); }

bool outside_the_ansi_code_page(const std::wstring& name) {
    std::string narrow(name.size() * 4, '\0');
    BOOL replaced = FALSE;
    WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), narrow.data(),
                        static_cast<int>(narrow.size()), nullptr, &replaced);
    return replaced != FALSE;
}

bool write_file(const std::wstring& path, const std::string& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// nullopt when there is no such file.
std::optional<std::string> read_file(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

// syscheck.exe and a library as mrv_sysinfo.dll in a folder named `name`,
// inside a fresh scratch folder.
class ForeignFolder {
public:
    ForeignFolder(const std::string& scratch, const std::string& name, const std::string& library)
        : scratch_(wt::make_scratch_directory(scratch)),
          parent_(wt::widen(scratch_, CP_ACP)),
          folder_(parent_ + from_utf8(name) + L"\\") {
        EXPECT_TRUE(outside_the_ansi_code_page(from_utf8(name))) << name;
        EXPECT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        copy("syscheck.exe", "syscheck.exe");
        copy(library, "mrv_sysinfo.dll");
    }

    const std::string& scratch() const { return scratch_; }  // the parent, named in ASCII
    const std::wstring& parent() const { return parent_; }
    const std::wstring& folder() const { return folder_; }

    void copy(const std::string& from_bin, const std::string& name) const {
        const std::wstring from = wt::widen(wt::program_directory() + from_bin, CP_ACP);
        EXPECT_TRUE(CopyFileW(from.c_str(), (folder_ + from_utf8(name)).c_str(), FALSE)) << from_bin;
    }
    void write(const std::string& name, const std::string& bytes) const {
        EXPECT_TRUE(write_file(folder_ + from_utf8(name), bytes)) << name;
    }
    std::optional<std::string> read(const std::string& name) const { return read_file(folder_ + from_utf8(name)); }

    // syscheck's exit status, run in `working_directory` with extra environment variables.
    std::uint32_t run(const std::wstring& working_directory,
                      const std::map<std::string, std::string>& environment = {}) const {
        std::wstring command = L"\"" + folder_ + L"syscheck.exe\"";
        std::string block = wt::environment_block(environment);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, block.data(),
                            working_directory.c_str(), &startup, &process)) {
            ADD_FAILURE() << "syscheck did not start: error " << GetLastError();
            return STILL_ACTIVE;
        }
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_TIMEOUT) {
            ADD_FAILURE() << "syscheck did not end";
            TerminateProcess(process.hProcess, STILL_ACTIVE);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    }

private:
    std::string scratch_;
    std::wstring parent_;
    std::wstring folder_;
};

std::string transcription(const std::string& members) {
    return R"({"capabilities":{"transcription":{)" + members + "}}}";
}

TEST(SyscheckInAFolderOutsideTheCodePage, ExitStatusAndReportFollowTheVerdict) {
    ASSERT_EQ(GetACP(), 1251u) << "run with a Russian locale (LC_ALL=ru_RU.UTF-8)";
    const std::string memory = "Рекомендуется 4+ ГБ свободной памяти (сейчас 3 ГБ)";
    const std::string cores = "Недостаточно ядер CPU (требуется минимум 4)";
    const struct {
        const char* scratch;
        std::string name;
        std::string document;
        std::uint32_t exit_code;
        std::optional<std::string> report;
    } cases[] = {
        {"code_page_georgian", "ქართული", transcription(R"("status":"minimal","warnings":[")" + memory + R"("])"),
         2, memory},
        {"code_page_chinese", "中文", transcription(R"("status":"none","warnings":[")" + cores + R"("])"), 1,
         cores},
        {"code_page_mixed", "ნინო 用户 Иван", transcription(R"("status":"ok","warnings":[])"), 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scratch);
        const ForeignFolder run(c.scratch, c.name, "syscheck_library_double.dll");
        run.write("library_double_script.txt", "verdict.json\n");
        run.write("verdict.json", c.document);
        EXPECT_EQ(run.run(run.parent()), c.exit_code);
        EXPECT_EQ(run.read("syscheck_report.txt"), c.report);
        EXPECT_EQ(read_file(run.parent() + L"syscheck_report.txt"), std::nullopt) << "report in the working directory";
        // The library beside syscheck was loaded and asked twice.
        EXPECT_EQ(run.read("library_double_log.txt"),
                  "call null 0\ncall buffer " + std::to_string(c.document.size() + 1) + " zeroed\ndetach free\n");
    }
}

// As an installer runs it in a user's %TEMP%: the real library, its table in
// the folder, which is also the working directory.
TEST(SyscheckInAFolderOutsideTheCodePage, WithTheRealLibraryAndItsTable) {
    ASSERT_EQ(GetACP(), 1251u) << "run with a Russian locale (LC_ALL=ru_RU.UTF-8)";
    const nlohmann::json document = wt::capabilities_in_process(wt::program_directory());
    ASSERT_TRUE(document.is_object());
    const auto& verdict = document.at("capabilities").at("transcription");
    const std::string status = verdict.at("status").get<std::string>();
    std::string warnings;
    for (const auto& warning : verdict.at("warnings"))
        warnings += (warnings.empty() ? "" : "\r\n") + warning.get<std::string>();

    const ForeignFolder run("code_page_real_library", "მომხმარებელი 临时", "mrv_sysinfo.dll");
    run.copy("gpu_architectures.json", "gpu_architectures.json");
    const std::string log = run.scratch() + "sysinfo_log.txt";
    EXPECT_EQ(run.run(run.folder(), {{"MRV_SYSINFO_LOG_FILE", log}}),
              status == "ok" ? 0u : status == "minimal" ? 2u : 1u)
        << status;
    EXPECT_EQ(wt::read_file(log), kTablesLoaded);
    const auto report = run.read("syscheck_report.txt");
    if (status == "ok" || warnings.empty()) {
        EXPECT_EQ(report, std::nullopt);
    } else {
        EXPECT_EQ(report, warnings);
    }
}

}  // namespace
