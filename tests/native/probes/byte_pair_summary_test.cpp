#include "probes/byte_pair_summary.h"

#include <gtest/gtest.h>

#include <string>

namespace mrv {
namespace {

// The filter may let a pattern through that does not occur, never the reverse.
TEST(BytePairSummary, NeverRulesOutAPatternThatOccurs) {
    const std::string names[] = {"NVIDIA GeForce RTX 4090 Laptop GPU", "AMD Радеон RX 7900 XTX", "A", "",
                                 "Intel(R) UHD Graphics 770", "aaaa"};
    for (const std::string& name : names) {
        const std::uint64_t name_pairs = byte_pair_summary(name);
        for (std::size_t begin = 0; begin <= name.size(); ++begin)
            for (std::size_t length = 0; begin + length <= name.size(); ++length) {
                const std::string pattern = name.substr(begin, length);
                EXPECT_TRUE(may_contain(name_pairs, byte_pair_summary(pattern))) << name << " / " << pattern;
            }
    }
}

TEST(BytePairSummary, RulesOutMostPatternsOfOtherAdapters) {
    const std::uint64_t name = byte_pair_summary("NVIDIA GeForce RTX 4090");
    const char* const others[] = {"Radeon RX 7900", "Arc(TM) A770", "UHD Graphics", "Iris Xe", "Quadro P4000",
                                  "Tesla V100", "Vega 8", "FirePro W7100", "Max-Q", "Laptop GPU"};
    int ruled_out = 0;
    for (const char* other : others) ruled_out += may_contain(name, byte_pair_summary(other)) ? 0 : 1;
    EXPECT_GE(ruled_out, 8);
}

TEST(BytePairSummary, TextsWithoutPairsRuleNothingOut) {
    EXPECT_EQ(byte_pair_summary(""), 0u);
    EXPECT_EQ(byte_pair_summary("R"), 0u);
    EXPECT_TRUE(may_contain(0, byte_pair_summary("")));
}

}  // namespace
}  // namespace mrv
