// fetch_capabilities_json with the real module loader.
#pragma once

#include <string>

namespace mrv::syscheck {

// Loads mrv_sysinfo.dll from `directory` by full path, fetches the document
// and unloads it; a crash meanwhile ends the process with 1 and a report.
bool fetch_capabilities_json(const std::string& directory, std::string& document, std::string& error);

}  // namespace mrv::syscheck
