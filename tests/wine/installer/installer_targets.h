// The installers are built for two targets (build_installers.sh): x86, the
// example's default, and amd64. Which processor a built file is for, and
// whether this Wine can run the 32-bit ones.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

namespace mrv::wine_test {

struct InstallerTarget {
    const char* name;  // makensis's target, and the folder the installers are built into
    WORD machine;      // the IMAGE_FILE_MACHINE_* of what it builds
};

inline void PrintTo(const InstallerTarget& target, std::ostream* out) { *out << target.name; }

// The Machine field of a PE file's header; 0 when the file is no PE image.
WORD pe_machine(const std::string& path);

// "" when this Wine runs 32-bit programs, else why it does not. Debian's
// wine64 alone starts them in an unfinished WoW64 mode that ends them at
// once with status 0, so only a status of the program's own choosing counts.
std::string why_32_bit_programs_do_not_run();

}  // namespace mrv::wine_test
