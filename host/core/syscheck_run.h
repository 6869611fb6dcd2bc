// One run of syscheck from start to exit status. The steps that touch the
// system come in through SyscheckSteps; the decisions are all here.
#pragma once

#include <string>
#include <vector>

namespace mrv::syscheck {

inline constexpr const char* kProcessingErrorPrefix = "Ошибка обработки отчёта: ";

class SyscheckSteps {
public:
    virtual ~SyscheckSteps() = default;
    // The program's directory, ending in a separator; "" when unknown.
    virtual std::string get_program_directory() = 0;
    virtual bool fetch_capabilities_json(const std::string& directory, std::string& document,
                                         std::string& error) = 0;
    // Writes nothing for an empty list.
    virtual void write_report(const std::string& directory, const std::vector<std::string>& entries) = 0;
};

// Reads "capabilities"."transcription": its "status" picks the exit status,
// the string elements of its "warnings" become the report of a verdict
// other than "ok". A document that cannot be read that way ends in one
// report entry, kProcessingErrorPrefix + the JSON library's message.
// Every failure ends in 1; no exception leaves.
int run_syscheck(SyscheckSteps& steps);

}  // namespace mrv::syscheck
