#include "probes/registry_dword.h"

namespace mrv {

bool read_registry_dword(Platform& platform, const char* key_path, const char* value_name,
                         std::uint32_t& value) {
    Handle key = 0;
    if (platform.reg_open_key_ex(key_path, key) != 0) return false;

    // A longer value (REG_QWORD, a string) does not fit and fails with
    // ERROR_MORE_DATA. A REG_DWORD of another size than 4 bytes (a hand edit,
    // a broken installer) is no clock either: read as 3 bytes or as 8, its
    // number would be wrong, so it counts as missing.
    std::uint8_t data[4] = {};
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    const std::int32_t status = platform.reg_query_value_ex(key, value_name, type, data, size);
    platform.reg_close_key(key);

    if (status != 0 || type != win::kRegDword || size != sizeof data) return false;
    value = static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
            static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    return true;
}

}  // namespace mrv
