#include "installer_targets.h"

#include <cstdint>
#include <cstring>

#include "wine_test_support.h"

namespace mrv::wine_test {

WORD pe_machine(const std::string& path) {
    const std::string image = read_file(path);
    std::uint32_t header = 0;
    if (image.size() < 0x40 || image.compare(0, 2, "MZ") != 0) return 0;
    std::memcpy(&header, image.data() + 0x3c, sizeof header);
    if (header > image.size() - 6 || image.compare(header, 4, std::string("PE\0\0", 4)) != 0) return 0;
    WORD machine = 0;
    std::memcpy(&machine, image.data() + header + 4, sizeof machine);
    return machine;
}

std::string why_32_bit_programs_do_not_run() {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemWow64DirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "Wine names no 32-bit system folder";
    const std::string cmd = std::string(folder, length) + "\\cmd.exe";
    const ProcessResult result = run_process("\"" + cmd + "\" /c exit 7", folder);
    if (!result.started) return cmd + " does not start";
    if (result.exit_code != 7) return cmd + " /c exit 7 ended with " + std::to_string(result.exit_code);
    return "";
}

}  // namespace mrv::wine_test
