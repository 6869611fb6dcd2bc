#include "core/program_directory.h"

#include <gtest/gtest.h>

#include <string>

namespace mrv::syscheck {
namespace {

std::string directory_of(const std::string& path) { return directory_from_module_path(path.c_str(), path.size()); }

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

TEST(ProgramDirectory, FailedTruncatedOrSeparatorlessPathsGiveNothing) {
    EXPECT_EQ(directory_of(""), "");
    EXPECT_EQ(directory_of("syscheck.exe"), "");
    const std::string longest = path_of_length(259);
    EXPECT_EQ(directory_of(longest), longest.substr(0, 259 - 12));
    EXPECT_EQ(directory_of(path_of_length(260)), "");
    EXPECT_EQ(directory_of(path_of_length(300)), "");
    // GetModuleFileNameA reports truncation by returning the capacity.
    const std::string truncated = path_of_length(300).substr(0, 260);
    EXPECT_EQ(directory_from_module_path(truncated.c_str(), 260), "");
}

}  // namespace
}  // namespace mrv::syscheck
