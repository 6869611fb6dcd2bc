// The real library's capabilities document, fetched in this process or in a
// separate one (sysinfo_dump.exe beside its mrv_sysinfo.dll), for tests that
// compare it with what Wine presents.
#pragma once

#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace mrv::wine_test {

// Loads mrv_sysinfo.dll from `directory` into this process, fetches one
// document through the two-call protocol and unloads it. Null on failure.
nlohmann::json capabilities_in_process(const std::string& directory);

// Runs `directory`\sysinfo_dump.exe in `working_directory` and parses what it
// prints. Null, with a test failure naming the reason, when no document came.
nlohmann::json capabilities_from_process(const std::string& directory, const std::string& working_directory,
                                         const std::map<std::string, std::string>& environment = {});

}  // namespace mrv::wine_test
