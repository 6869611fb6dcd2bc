// Helpers for the test programs that run under Wine: child processes with a
// time limit, scratch folders, files, and Wine's adapter overrides.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mrv::wine_test {

struct ProcessResult {
    bool started = false;
    bool injected = false;  // the DLL asked for was loaded into the child
    bool timed_out = false;
    std::uint32_t exit_code = 0;
    std::string out;  // everything the child wrote on stdout
    std::string err;  // and on stderr
};

// The current environment with the changes applied (an empty value removes
// the variable), as CreateProcessA takes it.
std::string environment_block(const std::map<std::string, std::string>& changes);

// Runs `command_line` (the first word is the program, a full path) in
// `working_directory` with extra environment variables (an empty value
// removes the variable); kills it after `timeout_ms`. A DLL named by
// `inject_dll` (a full path) is loaded into the child before its main runs:
// the child starts suspended and a thread of its own calls LoadLibraryA.
ProcessResult run_process(const std::string& command_line, const std::string& working_directory,
                          const std::map<std::string, std::string>& environment = {},
                          std::uint32_t timeout_ms = 60000, const std::string& inject_dll = "");

// `text`, written in `code_page` (CP_ACP, CP_UTF8), as UTF-16.
std::wstring widen(const std::string& text, unsigned code_page);

// Folder of the running test program, with a trailing backslash.
std::string program_directory();

// A fresh empty folder under the build tree's scratch area, with a trailing backslash.
std::string make_scratch_directory(const std::string& name);

bool copy_file(const std::string& from, const std::string& to);
bool write_file(const std::string& path, const std::string& bytes);
// Empty when the file cannot be read; `exists` tells the two apart.
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// Wine's one adapter: HKCU\Software\Wine\Direct3D. A vendor or device of 0
// and a memory size of 0 remove the value, so Wine's default applies.
bool set_wine_adapter(std::uint32_t vendor_id, std::uint32_t device_id, std::uint32_t video_memory_mb);
void reset_wine_adapter();

}  // namespace mrv::wine_test
