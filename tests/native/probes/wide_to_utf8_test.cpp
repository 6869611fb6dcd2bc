#include "probes/wide_to_utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine_profiles/profile_platform.h"

namespace mrv {
namespace {

TEST(WideToUtf8, ConvertsInTwoPassesOfTheExactSize) {
    ProfilePlatform platform{MachineProfile{}};
    EXPECT_EQ(wide_to_utf8(platform, u"Radeon Графика \U0001F680"), "Radeon Графика \U0001F680");
    const std::vector<std::string> expected = {"WideCharToMultiByte(17,0)", "WideCharToMultiByte(17,26)"};
    EXPECT_EQ(platform.calls(), expected);
}

TEST(WideToUtf8, EmptyTextMakesNoCallAndLoneSurrogatesBecomeReplacementCharacters) {
    ProfilePlatform platform{MachineProfile{}};
    EXPECT_EQ(wide_to_utf8(platform, u""), "");
    EXPECT_TRUE(platform.calls().empty());
    // An unpaired surrogate comes back as U+FFFD, as WideCharToMultiByte makes it.
    EXPECT_EQ(wide_to_utf8(platform, std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace mrv
