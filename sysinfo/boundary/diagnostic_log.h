// The library's load-time trace: one line per message appended to the file
// named by MRV_SYSINFO_LOG_FILE, or nothing when the variable is unset.
#pragma once

#include <string>

namespace mrv {

// Appends message and a CR LF line end (every '\n' inside it becomes CR LF
// too). Reads the variable afresh, opens, writes and closes on each call;
// every failure is silent.
void log_message(const std::string& message) noexcept;

}  // namespace mrv
