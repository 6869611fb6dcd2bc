#include "windows/windows_program_directory.h"

#include <windows.h>

#include "core/program_directory.h"

namespace mrv::syscheck {

namespace {

// The module path is in the ANSI code page, whose lead bytes IsDBCSLeadByte
// knows. Under UTF-8, which syscheck's manifest asks for, it knows none, and
// none is needed: every byte of a multi-byte UTF-8 character is 0x80 or above.
bool is_ansi_lead_byte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace

std::string get_program_directory() {
    char path[kModulePathCapacity] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(kModulePathCapacity));
    return directory_from_module_path(path, length, is_ansi_lead_byte);
}

}  // namespace mrv::syscheck
