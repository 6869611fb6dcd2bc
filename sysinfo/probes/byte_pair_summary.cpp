#include "probes/byte_pair_summary.h"

namespace mrv {

std::uint64_t byte_pair_summary(const std::string& text) {
    std::uint64_t summary = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const std::uint32_t pair = static_cast<std::uint32_t>(static_cast<unsigned char>(text[i - 1])) << 8 |
                                   static_cast<unsigned char>(text[i]);
        summary |= std::uint64_t{1} << ((pair * 0x9E3779B1u) >> 26);  // Fibonacci hashing to 0..63
    }
    return summary;
}

}  // namespace mrv
