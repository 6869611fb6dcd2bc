// The report file "syscheck_report.txt": where it lies and its exact bytes.
#pragma once

#include <string>
#include <vector>

namespace mrv::syscheck {

// `directory` ends in a path separator.
std::string report_path(const std::string& directory);

// The entries as the file holds them: one CR LF between two entries, none
// after the last, and, as in a text-mode file, every line feed inside an
// entry written as CR LF too.
std::string report_bytes(const std::vector<std::string>& entries);

}  // namespace mrv::syscheck
