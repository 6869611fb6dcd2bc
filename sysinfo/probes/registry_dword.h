// One REG_DWORD value under HKEY_LOCAL_MACHINE, read by its own
// open-query-close.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace mrv {

// True, and value written, only when the key opens, the query succeeds and
// the value is a REG_DWORD that fits in four bytes. The key is closed on
// every path that opened it.
bool read_registry_dword(Platform& platform, const char* key_path, const char* value_name,
                         std::uint32_t& value);

}  // namespace mrv
