#include "core/syscheck_run.h"

#include <exception>

#include <nlohmann/json.hpp>

#include "core/exit_status.h"

namespace mrv::syscheck {

namespace {

struct Verdict {
    std::string status;
    std::vector<std::string> warnings;
};

// Strict parse; then the JSON library's inserting member access, so that a
// missing "capabilities" or "transcription" surfaces as a null transcription
// and reading "status" from it raises the library's type error.
Verdict read_transcription_verdict(const std::string& document_text) {
    nlohmann::json document = nlohmann::json::parse(document_text, nullptr, true, false);
    nlohmann::json& transcription = document["capabilities"]["transcription"];
    Verdict verdict;
    verdict.status = transcription.value("status", std::string("none"));
    if (transcription.is_object() && transcription.contains("warnings") && transcription["warnings"].is_array()) {
        for (const auto& warning : transcription["warnings"])
            if (warning.is_string()) verdict.warnings.push_back(warning.get<std::string>());
    }
    return verdict;
}

int process_document(SyscheckSteps& steps, const std::string& directory, const std::string& document_text) {
    try {
        const Verdict verdict = read_transcription_verdict(document_text);
        const int exit_status = exit_code_for_status(verdict.status);
        if (exit_status != 0) steps.write_report(directory, verdict.warnings);
        return exit_status;
    } catch (const std::exception& error) {
        steps.write_report(directory, {kProcessingErrorPrefix + std::string(error.what())});
        return 1;
    }
}

}  // namespace

int run_syscheck(SyscheckSteps& steps) {
    // The outer guard keeps the promise of exit status 1 when even the error
    // report cannot be made (memory exhausted, the writer failing again).
    try {
        const std::string directory = steps.get_program_directory();
        if (directory.empty()) return 1;
        std::string document;
        std::string error;
        if (!steps.fetch_capabilities_json(directory, document, error)) {
            steps.write_report(directory, {error});
            return 1;
        }
        return process_document(steps, directory, document);
    } catch (...) {
        return 1;
    }
}

}  // namespace mrv::syscheck
