#include "core/program_directory.h"

namespace mrv::syscheck {

std::string directory_from_module_path(const char* path, std::size_t length) {
    if (length == 0 || length >= kModulePathCapacity) return {};
    const std::string full(path, length);
    const std::size_t separator = full.find_last_of("\\/");
    if (separator == std::string::npos) return {};
    return full.substr(0, separator + 1);
}

}  // namespace mrv::syscheck
