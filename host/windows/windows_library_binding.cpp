#include "windows/windows_library_binding.h"

#include <windows.h>

#include "core/library_binding.h"
#include "windows/crash_report_filter.h"

namespace mrv::syscheck {

namespace {

using CapabilitiesEntry = std::int32_t (*)(char*, std::int32_t);

class WindowsLibraryCalls final : public LibraryCalls {
public:
    Module load_library(const char* path) override { return reinterpret_cast<Module>(LoadLibraryA(path)); }
    Entry get_proc_address(Module module, const char* name) override {
        return reinterpret_cast<Entry>(GetProcAddress(reinterpret_cast<HMODULE>(module), name));
    }
    std::int32_t call_capabilities_entry(Entry entry, char* buffer, std::int32_t buffer_size) override {
        return reinterpret_cast<CapabilitiesEntry>(entry)(buffer, buffer_size);
    }
    void free_library(Module module) override { FreeLibrary(reinterpret_cast<HMODULE>(module)); }
};

}  // namespace

bool fetch_capabilities_json(const std::string& directory, std::string& document, std::string& error) {
    // Spans the whole time the library is loaded, its load-time code included.
    const ScopedCrashReport crash_report(directory);
    WindowsLibraryCalls calls;
    return fetch_capabilities_json(calls, directory, document, error);
}

}  // namespace mrv::syscheck
