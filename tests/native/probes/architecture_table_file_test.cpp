// Every case of the table file: what a load makes of the bytes in
// "gpu_architectures.json", the flag, the tables and the one log line.
#include <gtest/gtest.h>

#include <ostream>

#include <cctype>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "../support/temp_directory.h"
#include "probes/gpu_bandwidth_estimator.h"

namespace mrv {
namespace {

const std::string kOpenFailed = "[GpuBandwidthEstimator] Не удалось открыть gpu_architectures.json";
const std::string kLoaded = "[GpuBandwidthEstimator] Таблицы загружены успешно";
const std::string kParseFailed = "[GpuBandwidthEstimator] Ошибка парсинга JSON: ";

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
    return "[" + text + "]";
}

// "A:name=coefficient[patterns] M:name=multiplier[patterns] mobile[..] igpu[..]"
std::string summary(const GpuBandwidthEstimator& estimator) {
    std::ostringstream out;
    for (const ArchitectureEntry& entry : estimator.architectures())
        out << " A:" << entry.name << "=" << entry.coefficient << joined(entry.patterns);
    for (const MemoryTypeEntry& entry : estimator.memory_types())
        out << " M:" << entry.name << "=" << entry.multiplier << joined(entry.patterns);
    if (!estimator.mobile_patterns().empty()) out << " mobile" << joined(estimator.mobile_patterns());
    if (!estimator.igpu_patterns().empty()) out << " igpu" << joined(estimator.igpu_patterns());
    const std::string text = out.str();
    return text.empty() ? text : text.substr(1);
}

struct TableFileCase {
    const char* label;
    std::optional<std::string> contents;  // none: no file at all
    bool loaded;
    std::string log_line;  // exact, or for parse failures the start of it
    const char* error;     // for parse failures: the JSON library's message, which ends the line
    const char* tables;
};

const TableFileCase kCases[] = {
    {"no file", std::nullopt, false, kOpenFailed, "", ""},
    {"empty file", "", false, kParseFailed,
     "[json.exception.parse_error.101] parse error at line 1, column 1: attempting to parse an empty input; "
     "check that your input string or stream contains the expected JSON",
     ""},
    {"empty object", "{}", true, kLoaded, "", ""},
    {"top-level array", "[{\"architectures\":{}}]", true, kLoaded, "", ""},
    {"top-level number", "42", true, kLoaded, "", ""},
    {"unknown members ignored", "{\"version\":3,\"architectures\":null}", true, kLoaded, "", ""},
    {"keys sorted byte-wise, patterns in file order",
     R"({"igpu_patterns":["UHD","Iris"],"architectures":{"ampere":{"coefficient":56.5,"patterns":["RTX 30","A10"]},)"
     R"("Ada":{"coefficient":50,"patterns":["RTX 40"]}},"memory_types":{"GDDR6X":{"multiplier":1.5,"patterns":["3090"]}},)"
     R"("mobile_patterns":["Laptop","Mobile"]})",
     true, kLoaded, "",
     "A:Ada=50[RTX 40] A:ampere=56.5[RTX 30,A10] M:GDDR6X=1.5[3090] mobile[Laptop,Mobile] igpu[UHD,Iris]"},
    {"missing coefficient and multiplier",
     R"({"architectures":{"Turing":{"patterns":["RTX 20"]}},"memory_types":{"GDDR6":{}}})", true, kLoaded, "",
     "A:Turing=0[RTX 20] M:GDDR6=0[]"},
    {"negative coefficient is kept", R"({"architectures":{"Old":{"coefficient":-3,"patterns":["GT"]}}})", true,
     kLoaded, "", "A:Old=-3[GT]"},
    {"null patterns give none", R"({"architectures":{"X":{"coefficient":1,"patterns":null}}})", true, kLoaded, "",
     "A:X=1[]"},
    {"lone string as patterns", R"({"architectures":{"X":{"coefficient":1,"patterns":"GTX"}}})", true, kLoaded, "",
     "A:X=1[GTX]"},
    {"mobile_patterns given as one string", R"({"mobile_patterns":"Laptop"})", true, kLoaded, "",
     "mobile[Laptop]"},
    {"object as pattern list gives its values", R"({"igpu_patterns":{"b":"Vega","a":"UHD"}})", true, kLoaded, "",
     "igpu[UHD,Vega]"},
    {"duplicate key: the later counts",
     R"({"architectures":{"A":{"coefficient":1,"patterns":["x"]},"A":{"coefficient":2,"patterns":["y"]}}})", true,
     kLoaded, "", "A:A=2[y]"},
    {"text after the value is not read", "{\"mobile_patterns\":[\"Laptop\"]} trailing {garbage", true, kLoaded, "",
     "mobile[Laptop]"},
    {"byte-order mark skipped", "\xEF\xBB\xBF{\"mobile_patterns\":[\"Laptop\"]}", true, kLoaded, "",
     "mobile[Laptop]"},
    {"coefficient as string, earlier rows dropped",
     R"({"architectures":{"Ada":{"coefficient":50,"patterns":["RTX 40"]},"Bad":{"coefficient":"56"}}})", false,
     kParseFailed, "[json.exception.type_error.302] type must be number, but is string", ""},
    {"coefficient null", R"({"architectures":{"Ampere":{"coefficient":null}}})", false, kParseFailed,
     "[json.exception.type_error.302] type must be number, but is null", ""},
    {"multiplier as string", R"({"memory_types":{"GDDR6":{"multiplier":"2"}}})", false, kParseFailed,
     "[json.exception.type_error.302] type must be number, but is string", ""},
    {"architecture as bare number", R"({"architectures":{"Ampere":56}})", false, kParseFailed,
     "[json.exception.type_error.306] cannot use value() with number", ""},
    {"number among patterns", R"({"architectures":{"Ampere":{"coefficient":56,"patterns":["RTX 30",3090]}}})",
     false, kParseFailed, "[json.exception.type_error.302] type must be string, but is number", ""},
    {"number among mobile patterns", R"({"mobile_patterns":["Laptop",1]})", false, kParseFailed,
     "[json.exception.type_error.302] type must be string, but is number", ""},
    {"architectures as an array has no names", R"({"architectures":[{"coefficient":56}]})", false, kParseFailed,
     "[json.exception.invalid_iterator.207] cannot use key() for non-object iterators", ""},
    {"invalid UTF-8 in a string", "{\"mobile_patterns\":[\"\xC3\x28\"]}", false, kParseFailed,
     "[json.exception.parse_error.101] parse error at line 1, column 23: syntax error while parsing value - "
     "invalid string: ill-formed UTF-8 byte; last read: '\"\xC3('",
     ""},
    {"comments are not allowed", "{/* none */}", false, kParseFailed,
     "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error while parsing object key - "
     "invalid literal; last read: '{/'; expected string literal",
     ""},
    {"truncated document", R"({"architectures":{"Ada":)", false, kParseFailed,
     "[json.exception.parse_error.101] parse error at line 1, column 25: syntax error while parsing value - "
     "unexpected end of input; expected '[', '{', or a literal",
     ""},
};

// Cases print as their label, so test listings stay readable.
void PrintTo(const TableFileCase& test_case, std::ostream* out) { *out << test_case.label; }

class TableFile : public ::testing::TestWithParam<TableFileCase> {};

TEST_P(TableFile, LoadGivesFlagTablesAndOneLogLine) {
    const TableFileCase& c = GetParam();
    const test::TempDirectory dir;
    const std::string table = (dir / "gpu_architectures.json").string();
    if (c.contents) test::write_bytes(table, *c.contents);
    const test::ScopedLogFile log((dir / "sysinfo.log").string());

    const GpuBandwidthEstimator estimator(table.c_str());

    EXPECT_EQ(estimator.loaded(), c.loaded);
    EXPECT_EQ(summary(estimator), c.tables);
    const std::string logged = test::read_bytes(dir / "sysinfo.log");
    if (c.log_line == kParseFailed) {
        EXPECT_EQ(logged, kParseFailed + c.error + "\r\n");
    } else {
        EXPECT_EQ(logged, c.log_line + "\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TableFile, ::testing::ValuesIn(kCases), [](const auto& test_case) {
    std::string name;
    for (const char* p = test_case.param.label; *p != '\0'; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

TEST(TableFileLocation, BareNameIsResolvedAgainstTheWorkingDirectory) {
    const test::TempDirectory with_table;
    const test::TempDirectory without_table;
    test::write_bytes(with_table / "gpu_architectures.json", R"({"mobile_patterns":["Laptop"]})");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(with_table.path());
    const GpuBandwidthEstimator in_directory;
    std::filesystem::current_path(without_table.path());
    const GpuBandwidthEstimator elsewhere;
    std::filesystem::current_path(previous);

    EXPECT_TRUE(in_directory.loaded());
    EXPECT_EQ(in_directory.mobile_patterns(), std::vector<std::string>{"Laptop"});
    EXPECT_FALSE(elsewhere.loaded());
}

TEST(TableStream, ReadingStopsAfterTheFirstValueAndThrowsOnWrongKinds) {
    std::istringstream good(R"({"mobile_patterns":["Laptop"]} {"mobile_patterns":["Other"]})");
    EXPECT_EQ(read_architecture_tables(good).mobile_patterns, std::vector<std::string>{"Laptop"});
    std::istringstream bad(R"({"architectures":{"X":[]}})");
    EXPECT_THROW(read_architecture_tables(bad), std::exception);
}

}  // namespace
}  // namespace mrv
