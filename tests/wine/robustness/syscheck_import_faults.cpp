// Loaded into syscheck.exe before its main runs (run_process's injected DLL):
// points syscheck's own import slots for the report file (CreateFileA,
// WriteFile, CloseHandle), its module path (GetModuleFileNameA) and the
// library (LoadLibraryA, GetProcAddress, FreeLibrary) at stubs that count
// what syscheck opens and gives back, and lets the one named by
// MRV_SYSCHECK_FAULT fail with a plausible status and last error. Only calls
// about the report, the program's own path and mrv_sysinfo.dll are touched;
// the runtime's own calls pass. At the process's end the counts go to the
// file MRV_SYSCHECK_LEDGER names, one "name value" line each.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "import_table.h"

namespace {

std::string fault;  // the import that fails, or ""
int fault_calls = 0;
int given_back_twice = 0;  // a report handle closed or the library freed again

// What syscheck holds of one kind (report handles, the library) and gave back.
template <typename Object>
struct Holdings {
    int acquired = 0;
    int released = 0;
    std::set<Object> held, given_back;

    void acquire(Object object) {
        ++acquired;
        held.insert(object);
        given_back.erase(object);
    }
    bool holds(Object object) const { return held.count(object) != 0; }
    // Whether the object was held; giving back one given back already counts as twice.
    bool release(Object object) {
        if (held.erase(object) == 0) {
            if (given_back.count(object) != 0) ++given_back_twice;
            return false;
        }
        ++released;
        given_back.insert(object);
        return true;
    }
};

Holdings<HANDLE> reports;
Holdings<HMODULE> libraries;

bool ends_with(const char* text, const char* tail) {
    if (text == nullptr) return false;
    const std::size_t length = std::strlen(text), tail_length = std::strlen(tail);
    return length >= tail_length && _stricmp(text + length - tail_length, tail) == 0;
}

bool failing(const char* import) {
    if (fault != import) return false;
    ++fault_calls;
    return true;
}

template <typename Result>
Result failed(Result result, DWORD last_error) {
    SetLastError(last_error);
    return result;
}

DWORD WINAPI module_file_name(HMODULE module, LPSTR path, DWORD size) {
    if (module == nullptr && failing("GetModuleFileNameA")) return failed<DWORD>(0, ERROR_NOT_ENOUGH_MEMORY);
    return GetModuleFileNameA(module, path, size);
}

HMODULE WINAPI load_library(LPCSTR path) {
    const bool library = ends_with(path, "\\mrv_sysinfo.dll");
    if (library && failing("LoadLibraryA")) return failed<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
    HMODULE module = LoadLibraryA(path);
    if (library && module != nullptr) libraries.acquire(module);
    return module;
}

FARPROC WINAPI proc_address(HMODULE module, LPCSTR name) {
    const bool by_name = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
    if (libraries.holds(module) && by_name && std::strcmp(name, "get_system_capabilities_json") == 0 &&
        failing("GetProcAddress"))
        return failed<FARPROC>(nullptr, ERROR_PROC_NOT_FOUND);
    return GetProcAddress(module, name);
}

BOOL WINAPI free_library(HMODULE module) {
    const bool library = libraries.release(module);
    const BOOL freed = FreeLibrary(module);
    if (library && failing("FreeLibrary")) return failed<BOOL>(FALSE, ERROR_INVALID_HANDLE);
    return freed;
}

HANDLE WINAPI create_file(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flags, HANDLE template_file) {
    const bool report = ends_with(path, "\\syscheck_report.txt");
    if (report && failing("CreateFileA")) return failed(INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
    HANDLE file = CreateFileA(path, access, share, security, disposition, flags, template_file);
    if (report && file != INVALID_HANDLE_VALUE) reports.acquire(file);
    return file;
}

BOOL WINAPI write_file(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    if (reports.holds(file) && failing("WriteFile")) {
        if (written != nullptr) *written = 0;
        return failed<BOOL>(FALSE, ERROR_DISK_FULL);
    }
    return WriteFile(file, data, size, written, overlapped);
}

BOOL WINAPI close_handle(HANDLE handle) {
    const bool report = reports.release(handle);
    const BOOL closed = CloseHandle(handle);
    if (report && failing("CloseHandle")) return failed<BOOL>(FALSE, ERROR_INVALID_HANDLE);
    return closed;
}

template <typename Function>
void redirect(HMODULE program, const char* name, Function* replacement) {
    mrv::wine_test::write_import_slot(mrv::wine_test::import_slot(program, name),
                                      reinterpret_cast<void*>(replacement));
}

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

void write_ledger() {
    const std::string path = variable("MRV_SYSCHECK_LEDGER");
    if (path.empty()) return;
    const std::string text = "fault_calls " + std::to_string(fault_calls) + "\nreports_opened " +
                             std::to_string(reports.acquired) + "\nreports_closed " + std::to_string(reports.released) +
                             "\nlibraries_loaded " + std::to_string(libraries.acquired) + "\nlibraries_freed " +
                             std::to_string(libraries.released) + "\ngiven_back_twice " +
                             std::to_string(given_back_twice) + "\n";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        fault = variable("MRV_SYSCHECK_FAULT");
        HMODULE program = GetModuleHandleA(nullptr);
        redirect(program, "GetModuleFileNameA", module_file_name);
        redirect(program, "LoadLibraryA", load_library);
        redirect(program, "GetProcAddress", proc_address);
        redirect(program, "FreeLibrary", free_library);
        redirect(program, "CreateFileA", create_file);
        redirect(program, "WriteFile", write_file);
        redirect(program, "CloseHandle", close_handle);
    } else if (reason == DLL_PROCESS_DETACH) {
        write_ledger();
    }
    return TRUE;
}
