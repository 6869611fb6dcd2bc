// syscheck: is this machine ready for speech transcription? Takes no
// arguments, prints nothing; answers with its exit status (0 ok, 2 minimal,
// 1 otherwise) and, when there is something to say, syscheck_report.txt.
#include <windows.h>

#include "core/syscheck_run.h"
#include "windows/windows_library_binding.h"
#include "windows/windows_program_directory.h"
#include "windows/windows_report_file.h"

namespace {

class WindowsSyscheckSteps final : public mrv::syscheck::SyscheckSteps {
public:
    std::string get_program_directory() override { return mrv::syscheck::get_program_directory(); }
    bool fetch_capabilities_json(const std::string& directory, std::string& document, std::string& error) override {
        return mrv::syscheck::fetch_capabilities_json(directory, document, error);
    }
    void write_report(const std::string& directory, const std::vector<std::string>& entries) override {
        mrv::syscheck::write_report(directory, entries);
    }
};

}  // namespace

int main() {
    // Runs unattended: no system dialog may wait for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    WindowsSyscheckSteps steps;
    return mrv::syscheck::run_syscheck(steps);
}
