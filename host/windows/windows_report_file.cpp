#include "windows/windows_report_file.h"

#include <windows.h>

#include <algorithm>

#include "core/report_layout.h"

namespace mrv::syscheck {

bool write_report_file(const char* path, const std::string& bytes) noexcept {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    std::size_t offset = 0;
    while (written && offset < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1u << 20));
        DWORD done = 0;
        written = WriteFile(file, bytes.data() + offset, chunk, &done, nullptr) != FALSE && done == chunk;
        offset += done;
    }
    CloseHandle(file);
    return written;
}

void write_report(const std::string& directory, const std::vector<std::string>& entries) {
    if (entries.empty()) return;
    write_report_file(report_path(directory).c_str(), report_bytes(entries));
}

}  // namespace mrv::syscheck
