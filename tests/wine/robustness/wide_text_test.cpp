// Whether an adapter name can make the document unwritable: the JSON library
// refuses a string that is not UTF-8, and adapter names are the one text the
// platform converts. Windows' CP_UTF8 conversion without flags replaces
// unpaired surrogates with U+FFFD; this checks that the conversion the
// library makes, through the real WideCharToMultiByte, never hands out
// anything else, for every code unit and for surrogates in every position.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../../native/support/utf8_validity.h"
#include "boundary/snapshot.h"
#include "document/capabilities_document.h"
#include "platform/windows_platform.h"
#include "probes/wide_to_utf8.h"

namespace {

using mrv::test::is_valid_utf8;

TEST(WideText, EveryCodeUnitAloneConvertsToUtf8) {
    mrv::WindowsPlatform platform;
    for (std::uint32_t unit = 1; unit <= 0xFFFF; ++unit) {
        const std::string text = mrv::wide_to_utf8(platform, std::u16string(1, static_cast<char16_t>(unit)));
        ASSERT_FALSE(text.empty()) << std::hex << unit;
        ASSERT_TRUE(is_valid_utf8(text)) << std::hex << unit;
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            ASSERT_EQ(text, "\xEF\xBF\xBD") << std::hex << unit;
        }
    }
}

TEST(WideText, SurrogatesOutOfPlaceBecomeReplacementCharactersAndTheDocumentIsWritten) {
    const std::vector<std::u16string> names = {
        u"GPU \xD83D",                // high surrogate at the end
        u"\xDE80 GPU",                // low surrogate at the start
        u"GPU \xDE80\xD83D",          // the pair reversed
        u"\xD83D\xD83D\xDE80",        // two highs, then a low
        std::u16string(127, u'Ж') + u"\xD83D",  // a full description ending in half a pair
    };
    mrv::WindowsPlatform platform;
    mrv::SystemSnapshot snapshot;
    for (const std::u16string& name : names) {
        mrv::GpuInfo gpu;
        gpu.name = mrv::wide_to_utf8(platform, name);
        EXPECT_TRUE(is_valid_utf8(gpu.name)) << snapshot.gpus.size();
        EXPECT_NE(gpu.name.find("\xEF\xBF\xBD"), std::string::npos) << snapshot.gpus.size();
        snapshot.gpus.push_back(gpu);
    }
    EXPECT_NO_THROW(mrv::build_capabilities_json(snapshot));
}

}  // namespace
