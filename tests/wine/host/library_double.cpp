// Test double of mrv_sysinfo.dll for syscheck's tests, copied under that name
// into a scratch folder. library_double_script.txt beside it has one line
// per call of get_system_capabilities_json; the last line serves every
// later call:
//   FILE          answer with FILE's bytes by the buffer protocol
//   FILE RESULT   the same, but return RESULT: a number, or "size" for the
//                 buffer size given
//   nothing N     return N and write nothing into the buffer
//   crash         an access violation inside the call
//   throw         a C++ exception out of the call
// Every call and the unload are appended to library_double_log.txt.
// Script, documents and log lie beside the DLL, or in the folder named by
// LIBRARY_DOUBLE_DIR (ending in a separator) when a test cannot reach the
// DLL's folder, as with a copy that an installer unpacks.
// Built WITHOUT_ENTRY, it exports get_library_version alone.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

std::string directory;  // of the script, documents and log, with its trailing separator

void log_line(const std::string& line) {
    if (FILE* file = std::fopen((directory + "library_double_log.txt").c_str(), "ab")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH] = {};
        const DWORD set = GetEnvironmentVariableA("LIBRARY_DOUBLE_DIR", path, MAX_PATH);
        if (set > 0 && set < MAX_PATH) {
            directory.assign(path, set);
        } else {
            const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
            const std::string full(path, length);
            directory = full.substr(0, full.find_last_of("\\/") + 1);
        }
    } else if (reason == DLL_PROCESS_DETACH) {
        log_line(reserved == nullptr ? "detach free" : "detach exit");
    }
    return TRUE;
}

extern "C" __declspec(dllexport) const char* get_library_version(void) { return "1.0.0"; }

#ifndef WITHOUT_ENTRY
namespace {

int calls_made = 0;

std::string read_file(const std::string& path) {
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
        std::fclose(file);
    }
    return bytes;
}

std::string script_line(int index) {
    std::istringstream script(read_file(directory + "library_double_script.txt"));
    std::string line, last;
    for (int i = 0; std::getline(script, line); ++i) {
        last = line;
        if (i == index) break;
    }
    return last;
}

// Both volatile: GCC drops a plain store through a pointer it cannot see.
void crash() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

}  // namespace

extern "C" __declspec(dllexport) std::int32_t get_system_capabilities_json(char* buffer, std::int32_t buffer_size) {
    bool zeroed = true;
    for (std::int32_t i = 0; buffer != nullptr && i < buffer_size; ++i) zeroed = zeroed && buffer[i] == '\0';
    log_line(buffer == nullptr ? "call null " + std::to_string(buffer_size)
                               : "call buffer " + std::to_string(buffer_size) + (zeroed ? " zeroed" : " dirty"));

    std::istringstream line(script_line(calls_made++));
    std::string file, result;
    line >> file >> result;
    if (file == "crash") crash();
    if (file == "throw") throw std::runtime_error("scripted failure");
    if (file == "nothing") return static_cast<std::int32_t>(std::strtol(result.c_str(), nullptr, 10));

    const std::string text = read_file(directory + file);
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t answer = length + 1;
    if (buffer != nullptr && buffer_size > length) {
        text.copy(buffer, text.size());
        buffer[length] = '\0';
        answer = length;
    }
    if (result == "size") return buffer_size;
    if (!result.empty()) return static_cast<std::int32_t>(std::strtol(result.c_str(), nullptr, 10));
    return answer;
}
#endif
