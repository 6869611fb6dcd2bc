#include "core/syscheck_run.h"

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/exit_status.h"
#include "core/report_layout.h"

namespace mrv::syscheck {
namespace {

const std::string kDirectory = "C:\\Programs\\check\\";

// Hands out a directory and a document; keeps what a report file would hold.
class FakeSteps final : public SyscheckSteps {
public:
    std::string directory = kDirectory;
    bool fetch_succeeds = true;
    std::string document;
    std::string fetch_error;
    int write_failures = 0;  // this many write_report calls throw first

    int fetch_calls = 0;
    std::vector<std::string> directories_used;
    std::optional<std::string> report;  // the bytes of the last non-empty list

    std::string get_program_directory() override { return directory; }
    bool fetch_capabilities_json(const std::string& dir, std::string& out, std::string& error) override {
        ++fetch_calls;
        directories_used.push_back(dir);
        if (!fetch_succeeds) {
            error = fetch_error;
            return false;
        }
        out = document;
        return true;
    }
    void write_report(const std::string& dir, const std::vector<std::string>& entries) override {
        directories_used.push_back(dir);
        if (write_failures > 0) {
            --write_failures;
            throw std::runtime_error("disk full");
        }
        if (!entries.empty()) report = report_bytes(entries);
    }
};

std::string parse_error_of(const std::string& text) {
    try {
        const auto parsed = nlohmann::json::parse(text);
        ADD_FAILURE() << "the JSON library accepted: " << parsed.dump();
    } catch (const nlohmann::json::parse_error& error) {
        return error.what();
    }
    return {};
}

std::string transcription(const std::string& members) {
    return R"({"capabilities":{"llm_server":{"status":"ok","warnings":[]},"transcription":{)" + members + "}}}";
}

struct Case {
    std::string name;
    std::string document;
    int exit_status;
    std::optional<std::string> report;  // nullopt: the file is not touched
};

Case processing_error(const std::string& name, const std::string& document, const std::string& message) {
    return {name, document, 1, std::string(kProcessingErrorPrefix) + message};
}

// The expected text is the JSON library's own: positions and wording of
// parse errors are its business, so they are taken from it.
Case parse_failure(const std::string& name, const std::string& document) {
    const std::string message = parse_error_of(document);
    EXPECT_EQ(message.rfind("[json.exception.parse_error.101] parse error", 0), 0u) << name << ": " << message;
    return processing_error(name, document, message);
}

const std::string kMemoryWarning = "Недостаточно оперативной памяти для распознавания речи";
const std::string kCpuWarning = "Процессор без AVX2: распознавание будет медленным";

TEST(SyscheckDocument, VerdictsReportsAndProcessingErrors) {
    const std::string type_302_number = "[json.exception.type_error.302] type must be string, but is number";
    const std::string type_302_null = "[json.exception.type_error.302] type must be string, but is null";
    const std::string value_on_null = "[json.exception.type_error.306] cannot use value() with null";
    const std::string full_minimal = transcription(R"("status":"minimal","warnings":["w"])");
    const std::vector<Case> cases = {
        {"ok with a warning", transcription(R"("status":"ok","warnings":[")" + kMemoryWarning + R"("])"), 0,
         std::nullopt},
        {"minimal with one warning", transcription(R"("status":"minimal","warnings":[")" + kMemoryWarning + R"("])"),
         2, kMemoryWarning},
        {"minimal with three warnings", transcription(R"("status":"minimal","warnings":["a",")" + kCpuWarning +
                                                      R"(","c"])"),
         2, "a\r\n" + kCpuWarning + "\r\nc"},
        {"minimal without warnings", transcription(R"("status":"minimal","warnings":[])"), 2, std::nullopt},
        {"none with an empty list", transcription(R"("status":"none","warnings":[])"), 1, std::nullopt},
        {"none with a warning", transcription(R"("status":"none","warnings":[")" + kCpuWarning + R"("])"), 1,
         kCpuWarning},
        {"status missing counts as none", transcription(R"("warnings":["w"])"), 1, "w"},
        {"member names match exactly", transcription(R"("Status":"ok","warnings":["w"])"), 1, "w"},
        {"unknown status", transcription(R"("status":"unknown","warnings":["w"])"), 1, "w"},
        {"empty status", transcription(R"("status":"","warnings":["w"])"), 1, "w"},
        {"OK in capitals", transcription(R"("status":"OK","warnings":["w"])"), 1, "w"},
        {"Minimal capitalised", transcription(R"("status":"Minimal","warnings":["w"])"), 1, "w"},
        {"warnings mixing kinds keep the strings in order",
         transcription(R"("status":"none","warnings":["a",1,null,"b",{"x":"y"},["c"],true,2.5])"), 1, "a\r\nb"},
        {"warnings given as a string", transcription(R"("status":"minimal","warnings":"w")"), 2, std::nullopt},
        {"warnings given as an object", transcription(R"("status":"none","warnings":{"a":"w"})"), 1, std::nullopt},
        {"line feed inside a warning becomes CR LF", transcription(R"("status":"none","warnings":["a\nb","c"])"),
         1, "a\r\nb\r\nc"},
        {"whitespace around the value", " \r\n\t" + full_minimal + "\n ", 2, "w"},
        processing_error("status 5", transcription(R"("status":5,"warnings":["w"])"), type_302_number),
        processing_error("status null", transcription(R"("status":null,"warnings":["w"])"), type_302_null),
        processing_error("status true", transcription(R"("status":true)"),
                         "[json.exception.type_error.302] type must be string, but is boolean"),
        processing_error("capabilities missing", R"({"cpu":{}})", value_on_null),
        processing_error("capabilities null", R"({"capabilities":null})", value_on_null),
        processing_error("transcription missing", R"({"capabilities":{"llm_server":{"status":"ok"}}})",
                         value_on_null),
        processing_error("transcription null", R"({"capabilities":{"transcription":null}})", value_on_null),
        processing_error("transcription a string", R"({"capabilities":{"transcription":"ok"}})",
                         "[json.exception.type_error.306] cannot use value() with string"),
        processing_error("transcription an array", R"({"capabilities":{"transcription":["ok"]}})",
                         "[json.exception.type_error.306] cannot use value() with array"),
        processing_error("capabilities a number", R"({"capabilities":7})",
                         "[json.exception.type_error.305] cannot use operator[] with a string argument with number"),
        processing_error("top-level null", "null", value_on_null),
        processing_error("top-level array", R"([{"capabilities":{}}])",
                         "[json.exception.type_error.305] cannot use operator[] with a string argument with array"),
        processing_error("top-level string", R"("ok")",
                         "[json.exception.type_error.305] cannot use operator[] with a string argument with string"),
        processing_error("top-level number", "2",
                         "[json.exception.type_error.305] cannot use operator[] with a string argument with number"),
        processing_error("top-level boolean", "true",
                         "[json.exception.type_error.305] cannot use operator[] with a string argument with boolean"),
        processing_error("empty document", "",
                         "[json.exception.parse_error.101] parse error at line 1, column 1: attempting to parse an "
                         "empty input; check that your input string or stream contains the expected JSON"),
        parse_failure("only whitespace", " \r\n"),
        parse_failure("truncated document", full_minimal.substr(0, full_minimal.size() / 2)),
        parse_failure("truncated inside a string", transcription(R"("status":"mini)")),
        parse_failure("line comment after the value", full_minimal + "// checked"),
        parse_failure("block comment before the value", "/* checked */" + full_minimal),
        parse_failure("comment inside the value",
                      transcription(R"("status":"minimal", /* why */ "warnings":["w"])")),
        parse_failure("trailing text after the value", full_minimal + "x"),
        parse_failure("second value after the first", full_minimal + "{}"),
        parse_failure("invalid UTF-8 in a warning", transcription("\"status\":\"none\",\"warnings\":[\"\xff\"]")),
        parse_failure("truncated UTF-8 sequence", transcription("\"status\":\"none\",\"warnings\":[\"\xd0\"]")),
        parse_failure("invalid UTF-8 in a member name", transcription("\"st\xc3\x28tus\":\"ok\"")),
    };
    for (const Case& c : cases) {
        FakeSteps steps;
        steps.document = c.document;
        EXPECT_EQ(run_syscheck(steps), c.exit_status) << c.name;
        EXPECT_EQ(steps.report, c.report) << c.name;
    }
}

TEST(SyscheckDocument, StatusTextDecidesTheExitStatusExactly) {
    const std::pair<const char*, int> cases[] = {
        {"ok", 0},   {"minimal", 2}, {"none", 1},    {"unknown", 1}, {"", 1},
        {"Ok", 1},   {"OK", 1},      {"MINIMAL", 1}, {"ok ", 1},     {" minimal", 1},
    };
    for (const auto& [status, exit_status] : cases) EXPECT_EQ(exit_code_for_status(status), exit_status) << status;
}

TEST(SyscheckFlow, UnknownDirectoryEndsAtOnceWithoutReport) {
    FakeSteps steps;
    steps.directory.clear();
    EXPECT_EQ(run_syscheck(steps), 1);
    EXPECT_EQ(steps.fetch_calls, 0);
    EXPECT_TRUE(steps.directories_used.empty());
}

TEST(SyscheckFlow, FetchFailureReportsItsMessageAlone) {
    FakeSteps steps;
    steps.fetch_succeeds = false;
    steps.fetch_error = "Библиотека вернула некорректный размер буфера.";
    EXPECT_EQ(run_syscheck(steps), 1);
    EXPECT_EQ(steps.report, steps.fetch_error);
    EXPECT_EQ(steps.directories_used, (std::vector<std::string>{kDirectory, kDirectory}));
}

TEST(SyscheckFlow, FailureWhileWritingWarningsIsReportedInTheirPlace) {
    FakeSteps steps;
    steps.document = transcription(R"("status":"minimal","warnings":["w"])");
    steps.write_failures = 1;
    EXPECT_EQ(run_syscheck(steps), 1);
    EXPECT_EQ(steps.report, std::string(kProcessingErrorPrefix) + "disk full");
}

TEST(SyscheckFlow, EveryFailureEndsInOneEvenWhenNoReportCanBeWritten) {
    FakeSteps writer_broken;
    writer_broken.document = transcription(R"("status":"minimal","warnings":["w"])");
    writer_broken.write_failures = 2;
    EXPECT_EQ(run_syscheck(writer_broken), 1);
    EXPECT_EQ(writer_broken.report, std::nullopt);

    FakeSteps fetch_broken;
    fetch_broken.fetch_succeeds = false;
    fetch_broken.write_failures = 1;
    EXPECT_EQ(run_syscheck(fetch_broken), 1);

    class ThrowingFetch final : public SyscheckSteps {
        std::string get_program_directory() override { return kDirectory; }
        bool fetch_capabilities_json(const std::string&, std::string&, std::string&) override {
            throw std::bad_alloc();
        }
        void write_report(const std::string&, const std::vector<std::string>&) override {}
    } throwing_fetch;
    EXPECT_EQ(run_syscheck(throwing_fetch), 1);
}

}  // namespace
}  // namespace mrv::syscheck
