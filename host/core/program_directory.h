// Where the program lies: the directory part of its module path.
#pragma once

#include <cstddef>
#include <string>

namespace mrv::syscheck {

// GetModuleFileNameA's buffer capacity; a result this long means truncation.
constexpr std::size_t kModulePathCapacity = 260;

// `path` and `length` as GetModuleFileNameA left them. Returns the path up to
// and including its last '\\' or '/', or "" when the call failed, the path
// did not fit or it has no separator.
std::string directory_from_module_path(const char* path, std::size_t length);

}  // namespace mrv::syscheck
