#include "windows/windows_library_calls.h"

#include <windows.h>

namespace mrv::syscheck {

namespace {

using CapabilitiesEntry = std::int32_t (*)(char*, std::int32_t);

}  // namespace

Module WindowsLibraryCalls::load_library(const char* path) { return reinterpret_cast<Module>(LoadLibraryA(path)); }

Entry WindowsLibraryCalls::get_proc_address(Module module, const char* name) {
    return reinterpret_cast<Entry>(GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

std::int32_t WindowsLibraryCalls::call_capabilities_entry(Entry entry, char* buffer, std::int32_t buffer_size) {
    return reinterpret_cast<CapabilitiesEntry>(entry)(buffer, buffer_size);
}

void WindowsLibraryCalls::free_library(Module module) { FreeLibrary(reinterpret_cast<HMODULE>(module)); }

}  // namespace mrv::syscheck
