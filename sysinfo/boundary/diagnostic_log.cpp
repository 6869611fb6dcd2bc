// getenv and fopen are exactly what the log is made of; MSVC's deprecation
// warnings about them (C4996) would stop a /WX build.
#if defined(_MSC_VER) && !defined(_CRT_SECURE_NO_WARNINGS)
#define _CRT_SECURE_NO_WARNINGS
#endif

#include "boundary/diagnostic_log.h"

#include <cstdio>
#include <cstdlib>

namespace mrv {

void log_message(const std::string& message) noexcept {
    const char* path = std::getenv("MRV_SYSINFO_LOG_FILE");
    if (path == nullptr) return;
    // Binary append with CR LF written by hand: the same bytes as a Windows
    // text-mode stream, on every platform. MSVCRT's fopen shares the file for
    // reading and writing, so other processes can append between our lines.
    std::FILE* file = std::fopen(path, "ab");
    if (file == nullptr) return;
    static const char kLineEnd[] = "\r\n";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = message.find('\n', start);
        const std::size_t length = (end == std::string::npos ? message.size() : end) - start;
        std::fwrite(message.data() + start, 1, length, file);
        std::fwrite(kLineEnd, 1, 2, file);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::fclose(file);
}

}  // namespace mrv
