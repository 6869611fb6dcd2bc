#include "core/program_directory.h"

#include <gtest/gtest.h>

#include <string>

namespace mrv::syscheck {
namespace {

bool single_byte(unsigned char) { return false; }  // code page 1252 and the like
// Shift-JIS (code page 932).
bool shift_jis_lead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }
// GBK, UHC and Big5 (code pages 936, 949, 950).
bool wide_lead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

std::string directory_of(const std::string& path, LeadBytePredicate lead = single_byte) {
    return directory_from_module_path(path.c_str(), path.size(), lead);
}

// "C:\" + folders + "\syscheck.exe", exactly `length` characters.
std::string path_of_length(std::size_t length) {
    const std::string head = "C:\\", tail = "\\syscheck.exe";
    return head + std::string(length - head.size() - tail.size(), 'd') + tail;
}

TEST(ProgramDirectory, CutAfterTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(directory_of("C:\\Program Files\\MRV\\syscheck.exe"), "C:\\Program Files\\MRV\\");
    EXPECT_EQ(directory_of("C:/tools/mrv/syscheck.exe"), "C:/tools/mrv/");
    EXPECT_EQ(directory_of("C:\\tools/mrv\\bin/syscheck.exe"), "C:\\tools/mrv\\bin/");
    EXPECT_EQ(directory_of("\\\\server\\share\\syscheck.exe"), "\\\\server\\share\\");
}

// 表 is 0x95 0x5C in Shift-JIS, 丂 is 0x81 0x5C in GBK: their second byte is
// that of '\', yet no separator.
TEST(ProgramDirectory, TheTrailingByteOfATwoByteCharacterIsNoSeparator) {
    const struct {
        const char* label;
        std::string path;
        LeadBytePredicate lead;
        std::string directory;
    } cases[] = {
        {"932: program named 表", "C:\\tools\\\x95\x5C.exe", shift_jis_lead, "C:\\tools\\"},
        {"932: folder named 表", "C:\\\x95\x5C\\syscheck.exe", shift_jis_lead, "C:\\\x95\x5C\\"},
        {"932: 表 right after the drive", "C:\x95\x5Csyscheck.exe", shift_jis_lead, ""},
        {"932: katakana (single byte) before a separator", "C:\\\xB1\\syscheck.exe", shift_jis_lead, "C:\\\xB1\\"},
        {"932: lead byte cut off at the end", "C:\\tools\\\x95", shift_jis_lead, "C:\\tools\\"},
        {"936: program named 丂", "D:\\mrv\\\x81\x5C.exe", wide_lead, "D:\\mrv\\"},
        {"1252: the same bytes are two characters", "C:\\tools\\\x95\x5C.exe", single_byte, "C:\\tools\\\x95\x5C"},
    };
    for (const auto& c : cases) EXPECT_EQ(directory_of(c.path, c.lead), c.directory) << c.label;
}

// syscheck's manifest makes UTF-8 its ANSI code page, where IsDBCSLeadByte
// is false for every byte. Every byte of a multi-byte character is 0x80 or
// above, so none is taken for a separator, not even a trailing byte whose
// low seven bits are those of '\' or '/': ќ is 0xD1 0x9C, Я is 0xD0 0xAF.
TEST(ProgramDirectory, UTF8PathsAreCutAtTheirLastSeparator) {
    const struct {
        std::string path;
        std::string directory;
    } cases[] = {
        {"C:\\Users\\ნინო\\AppData\\Local\\Temp\\ns1A2B.tmp\\syscheck.exe",
         "C:\\Users\\ნინო\\AppData\\Local\\Temp\\ns1A2B.tmp\\"},
        {"C:\\用户/临时\\syscheck.exe", "C:\\用户/临时\\"},
        {"D:\\ќЯ\\🎤.exe", "D:\\ќЯ\\"},
        {"D:\\🎤\\ќЯ.exe", "D:\\🎤\\"},
        {"C:ќЯ.exe", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(directory_of(c.path), c.directory) << c.path;
}

TEST(ProgramDirectory, FailedTruncatedOrSeparatorlessPathsGiveNothing) {
    EXPECT_EQ(directory_of(""), "");
    EXPECT_EQ(directory_of("syscheck.exe"), "");
    const std::string longest = path_of_length(259);
    EXPECT_EQ(directory_of(longest), longest.substr(0, 259 - 12));
    EXPECT_EQ(directory_of(path_of_length(260)), "");
    EXPECT_EQ(directory_of(path_of_length(300)), "");
    // GetModuleFileNameA reports truncation by returning the capacity.
    const std::string truncated = path_of_length(300).substr(0, 260);
    EXPECT_EQ(directory_from_module_path(truncated.c_str(), 260, single_byte), "");
}

}  // namespace
}  // namespace mrv::syscheck
