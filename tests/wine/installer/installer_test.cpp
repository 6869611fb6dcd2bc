// The installer example as people run it: built by makensis (installer_build)
// for x86 and amd64 from what ships, or with syscheck.exe beside the scripted
// library double, then run under Wine silently or with its message boxes
// answered. Its exit status is what it did: 0 installed, 1 declined after
// "minimal", 2 stopped. Every run gets a TEMP of its own, which must be empty
// again once the installer exits. The x86 builds run only where Wine runs
// 32-bit programs (ctest's installer_x86_test), and are skipped elsewhere.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "installer_process.h"
#include "installer_targets.h"
#include "wine_test_support.h"

namespace {

namespace wt = mrv::wine_test;

constexpr DWORD kWaitMs = 30000;  // for a window, a click's effect or an exit

const std::string kMinimalWarning = "Рекомендуется 4+ ГБ свободной памяти (сейчас 2 ГБ)";
const std::string kNoneWarning = "Недостаточно ядер CPU (требуется минимум 4)";
const std::string kTablesLoaded = "[GpuBandwidthEstimator] Таблицы загружены успешно\r\n";

// What the installer says, as examples/installer/syscheck_check.nsi words it.
const std::string kLimited = "Компьютер подходит для распознавания речи с ограничениями.";
const std::string kGoOn = "Продолжить установку?";
const std::string kUnsuitable = "Компьютер не подходит для распознавания речи.";
const std::string kStopped = "Установка прервана.";
const std::string kNotChecked =
    "Не удалось проверить, подходит ли компьютер для распознавания речи. Установка прервана.";

const wt::InstallerTarget kX86{"x86-unicode", IMAGE_FILE_MACHINE_I386};
const wt::InstallerTarget kAmd64{"amd64-unicode", IMAGE_FILE_MACHINE_AMD64};

std::string installers() { return wt::program_directory() + "installers\\"; }
// kind: "" from what ships, "_double" with the library double, "_failing"
// the same with a section that aborts.
std::string installer_file(const wt::InstallerTarget& target, const std::string& kind) {
    return installers() + target.name + "\\syscheck_check" + kind + ".exe";
}

std::string transcription(const std::string& status, const std::string& warning) {
    return R"({"capabilities":{"transcription":{"status":")" + status + R"(","warnings":[)" +
           (warning.empty() ? "" : "\"" + warning + "\"") + "]}}}";
}

// The double's calls for one syscheck run on this document.
std::string two_calls(const std::string& document) {
    return "call null 0\ncall buffer " + std::to_string(document.size() + 1) + " zeroed\ndetach free\n";
}

// Names what a folder still holds; "" when it is empty.
std::string leftovers(const std::string& directory) {
    std::string names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return "(cannot list " + directory + ")";
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names += name + " ";
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// nullopt: still running after kWaitMs (then killed).
std::optional<std::uint32_t> run_to_exit(const std::string& command_line, const std::string& working_directory,
                                         const std::map<std::string, std::string>& environment) {
    const wt::InstallerProcess process(command_line, working_directory, environment);
    EXPECT_TRUE(process.started());
    return process.wait_for_exit(kWaitMs);
}

// Once the installer goes on, its one page runs the sections; then "Close"
// (IDOK) ends it, or "Cancel" once a section has aborted.
void leave_page(const wt::InstallerProcess& installer, int button_id) {
    const HWND page = installer.wait_for_window_with(button_id, kWaitMs);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(wt::press(page, button_id, kWaitMs));
}

// One run's folder: its TEMP, the double's script, document and log, and
// the library's log.
class InstallerRun {
public:
    explicit InstallerRun(const std::string& name) : folder_(wt::make_scratch_directory("installer_" + name)) {
        EXPECT_TRUE(CreateDirectoryA(temp().c_str(), nullptr));
    }

    std::string temp() const { return folder_ + "temp"; }
    const std::string& folder() const { return folder_; }

    void answer_with(const std::string& document) const {
        EXPECT_TRUE(wt::write_file(folder_ + "library_double_script.txt", "document.json\n"));
        EXPECT_TRUE(wt::write_file(folder_ + "document.json", document));
    }

    std::map<std::string, std::string> environment() const {
        return {{"TEMP", temp()},
                {"TMP", temp()},
                {"LIBRARY_DOUBLE_DIR", folder_},
                {"MRV_SYSINFO_LOG_FILE", folder_ + "sysinfo_log.txt"}};
    }

    std::optional<std::uint32_t> run_silently(const std::string& installer) const {
        return run_to_exit("\"" + installer + "\" /S", folder_, environment());
    }

    std::string double_log() const { return wt::read_file(folder_ + "library_double_log.txt"); }
    std::string library_log() const { return wt::read_file(folder_ + "sysinfo_log.txt"); }

private:
    std::string folder_;
};

class Installer : public testing::TestWithParam<wt::InstallerTarget> {
protected:
    void SetUp() override {
        if (GetParam().machine != IMAGE_FILE_MACHINE_I386) return;
        static const std::string why_not = wt::why_32_bit_programs_do_not_run();
        if (!why_not.empty())
            GTEST_SKIP() << "no 32-bit Wine here (Debian's wine32 needs the i386 architecture): " << why_not;
    }

    std::string installer(const std::string& kind) const { return installer_file(GetParam(), kind); }
};

INSTANTIATE_TEST_SUITE_P(Amd64, Installer, testing::Values(kAmd64));
INSTANTIATE_TEST_SUITE_P(X86, Installer, testing::Values(kX86));

TEST(InstallerBuilds, AreX86ByDefaultAndAmd64WhenThatTargetIsNamed) {
    for (const wt::InstallerTarget& target : {kX86, kAmd64}) {
        for (const char* kind : {"", "_double", "_failing"})
            EXPECT_EQ(wt::pe_machine(installer_file(target, kind)), target.machine) << installer_file(target, kind);
    }
}

TEST_P(Installer, SilentWithTheRealModulesStopsOnlyWhereSyscheckRunDirectlySays1) {
    const std::string direct = wt::make_scratch_directory("installer_direct_syscheck");
    for (const char* file : {"syscheck.exe", "mrv_sysinfo.dll", "gpu_architectures.json"})
        ASSERT_TRUE(wt::copy_file(installers() + "shipped\\bin\\" + file, direct + file));
    const auto syscheck = run_to_exit("\"" + direct + "syscheck.exe\"", direct, {});
    ASSERT_TRUE(syscheck == 0u || syscheck == 1u || syscheck == 2u);

    const InstallerRun run("real");
    EXPECT_EQ(run.run_silently(installer("")), syscheck == 1u ? 2u : 0u);
    // Loaded: syscheck ran with the unpacked table in its working directory.
    EXPECT_EQ(run.library_log(), kTablesLoaded);
    EXPECT_EQ(leftovers(run.temp()), "");
}

TEST_P(Installer, SilentGoesOnAfterOkAndMinimalAndStopsOtherwise) {
    struct Case {
        std::string name;
        std::string document;
        std::uint32_t exit_code;
    };
    const std::vector<Case> cases = {
        {"ok", transcription("ok", ""), 0},
        {"minimal", transcription("minimal", kMinimalWarning), 0},
        {"none", transcription("none", kNoneWarning), 2},
        {"none_without_report", transcription("none", ""), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const InstallerRun run("silent_" + c.name);
        run.answer_with(c.document);
        EXPECT_EQ(run.run_silently(installer("_double")), c.exit_code);
        EXPECT_EQ(run.double_log(), two_calls(c.document));
        EXPECT_EQ(run.library_log(), "");  // the double logs nothing of its own
        EXPECT_EQ(leftovers(run.temp()), "");
    }
}

TEST_P(Installer, InteractiveShowsTheReportAndGoesOnOrStopsAsAnswered) {
    const std::string limited_with_report = kLimited + "\r\n\r\n" + kMinimalWarning + "\r\n\r\n" + kGoOn;
    // 1000 bytes; the installer reads the first 768 of a report.
    std::string long_report;
    for (int i = 0; i < 500; ++i) long_report += i % 2 == 0 ? "Я" : "ж";
    const std::string long_report_read = long_report.substr(0, 768);
    struct Case {
        std::string name;
        std::string document;
        std::string message;
        int answer;
        bool goes_on;  // to the installer's own page
        std::uint32_t exit_code;
    };
    const std::vector<Case> cases = {
        {"minimal_declined", transcription("minimal", kMinimalWarning), limited_with_report, IDNO, false, 1},
        {"minimal_went_on", transcription("minimal", kMinimalWarning), limited_with_report, IDYES, true, 0},
        {"minimal_without_report", transcription("minimal", ""), kLimited + "\r\n\r\n" + kGoOn, IDNO, false, 1},
        {"none", transcription("none", kNoneWarning),
         kUnsuitable + "\r\n\r\n" + kNoneWarning + "\r\n\r\n" + kStopped, IDOK, false, 2},
        {"none_without_report", transcription("none", ""), kNotChecked, IDOK, false, 2},
        {"none_with_long_report", transcription("none", long_report),
         kUnsuitable + "\r\n\r\n" + long_report_read + "\r\n\r\n" + kStopped, IDOK, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const InstallerRun run("interactive_" + c.name);
        run.answer_with(c.document);
        {
            const wt::InstallerProcess process("\"" + installer("_double") + "\"", run.folder(), run.environment());
            ASSERT_TRUE(process.started());
            const HWND box = process.wait_for_window_with(c.answer, kWaitMs);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(wt::static_texts(box), c.message);
            ASSERT_TRUE(wt::press(box, c.answer, kWaitMs));
            if (c.goes_on) {
                ASSERT_TRUE(wt::wait_until_gone(box, kWaitMs));
                leave_page(process, IDOK);
            }
            EXPECT_EQ(process.wait_for_exit(kWaitMs), c.exit_code);
        }
        EXPECT_EQ(run.double_log(), two_calls(c.document));
        EXPECT_EQ(leftovers(run.temp()), "");
    }
}

// Nothing is decided ahead in .onInit: once the installer goes on, what the
// sections do is what it reports.
TEST_P(Installer, OnceItGoesOnTheSectionsDecideTheStatus) {
    struct Case {
        std::string name;
        std::string kind;
        std::string document;
        int leave_with;  // the page's button; 0: run silently
        std::uint32_t exit_code;
    };
    const std::vector<Case> cases = {
        {"ok_installed", "_double", transcription("ok", ""), IDOK, 0},
        {"ok_failed", "_failing", transcription("ok", ""), IDCANCEL, 2},
        {"ok_failed_silently", "_failing", transcription("ok", ""), 0, 2},
        {"minimal_failed_silently", "_failing", transcription("minimal", kMinimalWarning), 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const InstallerRun run("sections_" + c.name);
        run.answer_with(c.document);
        if (c.leave_with == 0) {
            EXPECT_EQ(run.run_silently(installer(c.kind)), c.exit_code);
        } else {
            const wt::InstallerProcess process("\"" + installer(c.kind) + "\"", run.folder(), run.environment());
            ASSERT_TRUE(process.started());
            leave_page(process, c.leave_with);
            EXPECT_EQ(process.wait_for_exit(kWaitMs), c.exit_code);
        }
        EXPECT_EQ(run.double_log(), two_calls(c.document));
        EXPECT_EQ(leftovers(run.temp()), "");
    }
}

}  // namespace
