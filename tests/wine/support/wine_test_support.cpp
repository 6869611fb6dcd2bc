#include "wine_test_support.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace mrv::wine_test {
namespace {

std::string read_pipe(HANDLE pipe) {
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    return text;
}

}  // namespace

std::string environment_block(const std::map<std::string, std::string>& changes) {
    std::map<std::string, std::string> variables;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
        const std::string text = entry;
        const auto equals = text.find('=', 1);
        if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsA(block);
    for (const auto& change : changes) {
        if (change.second.empty())
            variables.erase(change.first);
        else
            variables[change.first] = change.second;
    }
    std::string result;
    for (const auto& variable : variables) result += variable.first + "=" + variable.second + '\0';
    result += '\0';
    return result;
}

namespace {

// LoadLibraryA(dll) on a thread of the suspended child: the loader's first
// thread there sets up the process, then loads the DLL. kernel32 lies at the
// same address in every process, and with it LoadLibraryA.
bool inject(HANDLE process, const std::string& dll) {
    void* remote = VirtualAllocEx(process, nullptr, dll.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) return false;
    const auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    bool loaded = false;
    if (WriteProcessMemory(process, remote, dll.c_str(), dll.size() + 1, nullptr)) {
        HANDLE thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
        if (thread != nullptr) {
            DWORD module = 0;  // the low half of the module handle; 0 only when the load failed
            loaded = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &module) &&
                     module != 0;
            CloseHandle(thread);
        }
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return loaded;
}

}  // namespace

ProcessResult run_process(const std::string& command_line, const std::string& working_directory,
                          const std::map<std::string, std::string>& environment, std::uint32_t timeout_ms,
                          const std::string& inject_dll) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out_read = nullptr, out_write = nullptr, err_read = nullptr, err_write = nullptr;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0) || !CreatePipe(&err_read, &err_write, &inherit, 0))
        return result;
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    PROCESS_INFORMATION process{};
    std::string command = command_line;
    std::string block = environment_block(environment);
    const DWORD flags = inject_dll.empty() ? 0 : CREATE_SUSPENDED;
    result.started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, flags, block.data(),
                                    working_directory.empty() ? nullptr : working_directory.c_str(), &startup,
                                    &process) != FALSE;
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (!result.started) {
        CloseHandle(out_read);
        CloseHandle(err_read);
        return result;
    }
    if (!inject_dll.empty()) {
        result.injected = inject(process.hProcess, inject_dll);
        ResumeThread(process.hThread);
    }
    std::thread err_reader([&] { result.err = read_pipe(err_read); });
    std::thread out_reader([&] { result.out = read_pipe(out_read); });
    if (WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_TIMEOUT) {
        result.timed_out = true;
        TerminateProcess(process.hProcess, 259);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    out_reader.join();
    err_reader.join();
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exit_code = code;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(out_read);
    CloseHandle(err_read);
    return result;
}

std::wstring widen(const std::string& text, unsigned code_page) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string program_directory() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    return text.substr(0, text.find_last_of("\\/") + 1);
}

namespace {

// Wide calls: a scratch folder may hold names outside the ANSI code page.
void remove_tree(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((directory + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = directory + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path + L"\\");
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(directory.c_str());
}

}  // namespace

std::string make_scratch_directory(const std::string& name) {
    const std::string root = program_directory() + "scratch\\";
    CreateDirectoryA(root.c_str(), nullptr);
    const std::string directory = root + name + "\\";
    remove_tree(widen(directory, CP_ACP));
    CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

bool copy_file(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool write_file(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::string read_file(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

bool file_exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {
const char* const kDirect3DKey = "Software\\Wine\\Direct3D";

void set_dword(HKEY key, const char* name, DWORD value) {
    if (value == 0)
        RegDeleteValueA(key, name);
    else
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}
}  // namespace

bool set_wine_adapter(std::uint32_t vendor_id, std::uint32_t device_id, std::uint32_t video_memory_mb) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDirect3DKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    set_dword(key, "VideoPciVendorID", vendor_id);
    set_dword(key, "VideoPciDeviceID", device_id);
    if (video_memory_mb == 0) {
        RegDeleteValueA(key, "VideoMemorySize");
    } else {
        const std::string size = std::to_string(video_memory_mb);
        RegSetValueExA(key, "VideoMemorySize", 0, REG_SZ, reinterpret_cast<const BYTE*>(size.c_str()),
                       static_cast<DWORD>(size.size() + 1));
    }
    RegCloseKey(key);
    return true;
}

void reset_wine_adapter() { set_wine_adapter(0, 0, 0); }

}  // namespace mrv::wine_test
