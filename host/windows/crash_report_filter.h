// While the library is loaded, a crash inside it (an access violation in a
// driver, say) must still end in exit status 1 with a report, not in an
// exception code the caller cannot read.
#pragma once

#include <string>

namespace mrv::syscheck {

// Installs an unhandled-exception filter for its lifetime that writes the
// report "Библиотека не смогла сформировать отчёт о системе." beside the
// program and ends the process with 1. One at a time.
class ScopedCrashReport {
public:
    explicit ScopedCrashReport(const std::string& directory);
    ~ScopedCrashReport();
    ScopedCrashReport(const ScopedCrashReport&) = delete;
    ScopedCrashReport& operator=(const ScopedCrashReport&) = delete;

private:
    void* previous_filter_;
};

}  // namespace mrv::syscheck
