#include "probes/wide_to_utf8.h"

#include <cstdint>
#include <limits>

namespace mrv {

std::string wide_to_utf8(Platform& platform, const std::u16string& wide) {
    if (wide.empty() || wide.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return {};
    const auto wide_length = static_cast<std::int32_t>(wide.size());
    const std::int32_t needed = platform.wide_char_to_multi_byte_utf8(wide.data(), wide_length, nullptr, 0);
    if (needed <= 0) return {};
    std::string text(static_cast<std::size_t>(needed), '\0');
    const std::int32_t written = platform.wide_char_to_multi_byte_utf8(wide.data(), wide_length, text.data(), needed);
    // The two passes of one conversion agree. A second pass that fails, or
    // that claims another length (more than the buffer, or fewer bytes, which
    // may cut a character in two and make the whole document unwritable),
    // leaves no half-filled string behind.
    if (written != needed) return {};
    return text;
}

}  // namespace mrv
