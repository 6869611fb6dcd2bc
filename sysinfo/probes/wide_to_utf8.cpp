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
    // A second pass that fails leaves no half-filled string behind.
    if (written <= 0) return {};
    text.resize(static_cast<std::size_t>(written));
    return text;
}

}  // namespace mrv
