#include "windows/crash_report_filter.h"

#include <windows.h>

#include "core/library_binding.h"
#include "core/report_layout.h"
#include "windows/windows_report_file.h"

namespace mrv::syscheck {

namespace {

// Made ready before the library is loaded: after a crash the heap may be
// broken, so the filter only reads these.
std::string crash_report_path;
std::string crash_report_bytes;

LONG WINAPI report_crash(EXCEPTION_POINTERS*) {
    write_report_file(crash_report_path.c_str(), crash_report_bytes);
    // Not ExitProcess: neither the crashed library's detach code nor the
    // runtime's exit handlers may run in this state.
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

ScopedCrashReport::ScopedCrashReport(const std::string& directory) {
    crash_report_path = report_path(directory);
    crash_report_bytes = report_bytes({kNoDocumentMessage});
    previous_filter_ = reinterpret_cast<void*>(SetUnhandledExceptionFilter(report_crash));
}

ScopedCrashReport::~ScopedCrashReport() {
    SetUnhandledExceptionFilter(reinterpret_cast<LPTOP_LEVEL_EXCEPTION_FILTER>(previous_filter_));
}

}  // namespace mrv::syscheck
