#include "windows/windows_library_binding.h"

#include "windows/crash_report_filter.h"
#include "windows/windows_library_calls.h"

namespace mrv::syscheck {

bool fetch_capabilities_json(const std::string& directory, std::string& document, std::string& error) {
    // Spans the whole time the library is loaded, its load-time code included.
    const ScopedCrashReport crash_report(directory);
    WindowsLibraryCalls calls;
    return fetch_capabilities_json(calls, directory, document, error);
}

}  // namespace mrv::syscheck
