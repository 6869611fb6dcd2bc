// A 64-bit summary of the adjacent byte pairs of a text, one bit per pair
// (hashed). A pattern can occur in a name only if every bit of the pattern's
// summary is also set in the name's, so the estimator rules out most table
// patterns with one AND instead of a substring search. A text shorter than
// two bytes has no pairs and an empty summary, which rules nothing out.
#pragma once

#include <cstdint>
#include <string>

namespace mrv {

std::uint64_t byte_pair_summary(const std::string& text);

// False only where the pattern cannot occur in the name.
inline bool may_contain(std::uint64_t name_summary, std::uint64_t pattern_summary) {
    return (pattern_summary & ~name_summary) == 0;
}

}  // namespace mrv
