#include "core/report_layout.h"

#include <gtest/gtest.h>

namespace mrv::syscheck {
namespace {

TEST(ReportLayout, EntriesAreOneCrLfApartWithNothingAfterTheLast) {
    const std::string warning = "Недостаточно оперативной памяти";  // UTF-8 bytes as they are
    EXPECT_EQ(report_bytes({}), "");
    EXPECT_EQ(report_bytes({warning}), warning);
    EXPECT_EQ(report_bytes({"a", warning, "c"}), "a\r\n" + warning + "\r\nc");
    EXPECT_EQ(report_bytes({"", ""}), "\r\n");
}

TEST(ReportLayout, LineFeedsInsideEntriesBecomeCrLfAsInATextFile) {
    EXPECT_EQ(report_bytes({"one\ntwo", "three\n"}), "one\r\ntwo\r\nthree\r\n");
    // Text mode turns every line feed into CR LF, one already after a CR too.
    EXPECT_EQ(report_bytes({"a\r\nb"}), "a\r\r\nb");
}

TEST(ReportLayout, FileLiesInTheGivenDirectory) {
    EXPECT_EQ(report_path("C:\\Tools\\"), "C:\\Tools\\syscheck_report.txt");
    EXPECT_EQ(report_path("D:/checks/"), "D:/checks/syscheck_report.txt");
}

}  // namespace
}  // namespace mrv::syscheck
