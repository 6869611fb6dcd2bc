// Where the program lies: the directory part of its module path.
#pragma once

#include <cstddef>
#include <string>

namespace mrv::syscheck {

// GetModuleFileNameA's buffer capacity; a result this long means truncation.
constexpr std::size_t kModulePathCapacity = 260;

// Whether a byte starts a two-byte character in the ANSI code page the path
// is written in (IsDBCSLeadByte). In the double-byte code pages (932, 936,
// 949, 950) the second byte of a character can be 0x5C, the byte of '\\'.
using LeadBytePredicate = bool (*)(unsigned char byte);

// `path` and `length` as GetModuleFileNameA left them. Returns the path up to
// and including its last '\\' or '/' character (a trailing byte of a
// two-byte character is none), or "" when the call failed, the path did not
// fit or it has no separator.
std::string directory_from_module_path(const char* path, std::size_t length, LeadBytePredicate is_lead_byte);

}  // namespace mrv::syscheck
