#include "core/program_directory.h"

namespace mrv::syscheck {

std::string directory_from_module_path(const char* path, std::size_t length, LeadBytePredicate is_lead_byte) {
    if (length == 0 || length >= kModulePathCapacity) return {};
    std::size_t directory_length = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(path[i]);
        if (is_lead_byte(byte) && i + 1 < length)
            ++i;  // the trailing byte belongs to this character
        else if (byte == '\\' || byte == '/')
            directory_length = i + 1;
    }
    return std::string(path, directory_length);
}

}  // namespace mrv::syscheck
