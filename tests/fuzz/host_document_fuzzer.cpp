// syscheck fed any bytes as the library's document. Whatever they are, the
// run ends in 0, 1 or 2 with the report the rules allow: nothing for "ok",
// the transcription warnings for any other status, or one entry
// "Ошибка обработки отчёта: " + the JSON library's message when the text is
// no JSON or has the wrong shape. The expected outcome is worked out here
// from the rules, independently of the program's code.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/syscheck_run.h"
#include "fuzz_check.h"

namespace {

using mrv::fuzz::require;
using nlohmann::json;

const char kDirectory[] = "C:\\syscheck\\";

class DocumentSteps final : public mrv::syscheck::SyscheckSteps {
public:
    explicit DocumentSteps(std::string document) : document_(std::move(document)) {}

    std::string get_program_directory() override { return kDirectory; }
    bool fetch_capabilities_json(const std::string& directory, std::string& document, std::string&) override {
        require(directory == kDirectory, "the document is fetched from the program directory");
        document = document_;
        return true;
    }
    void write_report(const std::string& directory, const std::vector<std::string>& entries) override {
        require(directory == kDirectory, "the report is written to the program directory");
        reports.push_back(entries);
    }

    std::vector<std::vector<std::string>> reports;

private:
    std::string document_;
};

struct Expected {
    int exit_status = 1;
    std::optional<std::vector<std::string>> report;  // absent: the report is not touched
    bool processing_error = false;
};

Expected expected_for(const std::string& text) {
    Expected processing_error{1, std::nullopt, true};
    const json document = json::parse(text, nullptr, false);  // strict, whole text, no comments
    if (document.is_discarded()) return processing_error;
    if (!document.is_null() && !document.is_object()) return processing_error;
    if (document.is_null() || !document.contains("capabilities")) return processing_error;
    const json& capabilities = document["capabilities"];
    if (!capabilities.is_object() || !capabilities.contains("transcription")) return processing_error;
    const json& transcription = capabilities["transcription"];
    if (!transcription.is_object()) return processing_error;

    std::string status = "none";
    if (transcription.contains("status")) {
        if (!transcription["status"].is_string()) return processing_error;
        status = transcription["status"].get<std::string>();
    }
    std::vector<std::string> warnings;
    if (transcription.contains("warnings") && transcription["warnings"].is_array())
        for (const json& warning : transcription["warnings"])
            if (warning.is_string()) warnings.push_back(warning.get<std::string>());

    if (status == "ok") return {0, std::nullopt, false};
    return {status == "minimal" ? 2 : 1, warnings, false};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    DocumentSteps steps(text);
    const int exit_status = mrv::syscheck::run_syscheck(steps);
    const Expected expected = expected_for(text);

    require(exit_status == 0 || exit_status == 1 || exit_status == 2, "exit status 0, 1 or 2");
    require(exit_status == expected.exit_status, "the exit status the rules give");
    if (expected.processing_error) {
        const std::string prefix = mrv::syscheck::kProcessingErrorPrefix;
        require(steps.reports.size() == 1 && steps.reports[0].size() == 1, "one report with one entry");
        const std::string& entry = steps.reports[0][0];
        require(entry.size() > prefix.size() && entry.compare(0, prefix.size(), prefix) == 0,
                "the entry is the prefix and the JSON library's message");
    } else if (!expected.report) {
        require(steps.reports.empty(), "an \"ok\" verdict leaves the report untouched");
    } else {
        require(steps.reports.size() == 1 && steps.reports[0] == *expected.report,
                "the report holds the string warnings in their order");
    }
    return 0;
}
