#include "core/exit_status.h"

namespace mrv::syscheck {

int exit_code_for_status(const std::string& status) {
    if (status == "ok") return 0;
    if (status == "minimal") return 2;
    return 1;
}

}  // namespace mrv::syscheck
