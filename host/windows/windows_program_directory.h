// The directory of the running executable, from GetModuleFileNameA.
#pragma once

#include <string>

namespace mrv::syscheck {

// Ends in a separator; "" when it cannot be determined.
std::string get_program_directory();

}  // namespace mrv::syscheck
