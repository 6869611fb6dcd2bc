// The program's answer: its exit status for the transcription verdict.
#pragma once

#include <string>

namespace mrv::syscheck {

// "ok" → 0, "minimal" → 2, anything else (letter case counts) → 1.
int exit_code_for_status(const std::string& status);

}  // namespace mrv::syscheck
