#include "core/report_layout.h"

namespace mrv::syscheck {

std::string report_path(const std::string& directory) { return directory + "syscheck_report.txt"; }

namespace {

void append_text_mode(std::string& bytes, const std::string& text) {
    for (const char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
}

}  // namespace

std::string report_bytes(const std::vector<std::string>& entries) {
    std::string bytes;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) append_text_mode(bytes, "\n");
        append_text_mode(bytes, entries[i]);
    }
    return bytes;
}

}  // namespace mrv::syscheck
