// Writing "syscheck_report.txt" beside the executable.
#pragma once

#include <string>
#include <vector>

namespace mrv::syscheck {

// Creates or truncates `path`, shared for reading and writing, and writes
// `bytes`. False when the file could not be opened or written. Allocates
// nothing, so that it can run after a crash.
bool write_report_file(const char* path, const std::string& bytes) noexcept;

// Nothing for an empty list (an older report stays as it is); otherwise
// the entries, one CR LF apart. Failures are silent.
void write_report(const std::string& directory, const std::vector<std::string>& entries);

}  // namespace mrv::syscheck
