#include "windows/windows_program_directory.h"

#include <windows.h>

#include "core/program_directory.h"

namespace mrv::syscheck {

std::string get_program_directory() {
    char path[kModulePathCapacity] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(kModulePathCapacity));
    return directory_from_module_path(path, length);
}

}  // namespace mrv::syscheck
