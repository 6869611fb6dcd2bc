#include "library_import_stubs.h"

#include <dxgi1_4.h>

namespace mrv::wine_test {

Ledger* ledger = nullptr;

// The library's calls that hand out or give back something, counted.
LONG WINAPI counted_reg_open_key_ex(HKEY root, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY key) {
    const LONG status = RegOpenKeyExA(root, sub_key, options, access, key);
    if (status == ERROR_SUCCESS) ++ledger->keys[*key];
    return status;
}
LONG WINAPI counted_reg_close_key(HKEY key) {
    const auto found = ledger->keys.find(key);
    if (found == ledger->keys.end() || found->second == 0)
        ledger->problems.push_back("RegCloseKey of a key that is not open");
    else
        --found->second;
    return RegCloseKey(key);
}
HANDLE WINAPI counted_create_file(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE template_file) {
    HANDLE file = CreateFileA(path, access, share, security, disposition, flags, template_file);
    if (file != INVALID_HANDLE_VALUE) ++ledger->files[file];
    return file;
}
BOOL WINAPI counted_close_handle(HANDLE handle) {
    const auto found = ledger->files.find(handle);
    if (found != ledger->files.end()) {
        if (found->second == 0)
            ledger->problems.push_back("CloseHandle of a file handle already closed");
        else
            --found->second;
    }
    return CloseHandle(handle);
}
HRESULT WINAPI counted_create_factory(REFIID riid, void** factory) {
    const HRESULT result = CreateDXGIFactory1(riid, factory);
    if (SUCCEEDED(result) && *factory != nullptr) {
        if (IsEqualIID(riid, __uuidof(IDXGIFactory4)))
            *factory = ledger->dxgi.wrap_factory(static_cast<IDXGIFactory4*>(*factory));
        else
            ledger->problems.push_back("a factory of another interface than IDXGIFactory4");
    }
    return result;
}

namespace {

template <typename Result>
Result failed(Result result, DWORD last_error) {
    ++ledger->fault_calls;
    if (last_error != ERROR_SUCCESS) SetLastError(last_error);
    return result;
}

}  // namespace

// The failures. Calls that give something back still do, then fail.
LONG WINAPI failing_reg_open_key_ex(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return failed<LONG>(ERROR_ACCESS_DENIED, ERROR_SUCCESS);
}
LONG WINAPI failing_reg_query_value_ex(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return failed<LONG>(ERROR_FILE_NOT_FOUND, ERROR_SUCCESS);
}
LONG WINAPI failing_reg_close_key(HKEY key) {
    counted_reg_close_key(key);
    return failed<LONG>(ERROR_INVALID_HANDLE, ERROR_SUCCESS);
}
VOID WINAPI zeroed_system_info(LPSYSTEM_INFO info) {
    ZeroMemory(info, sizeof *info);  // it cannot fail; nothing in it is the closest
    failed(0, ERROR_SUCCESS);
}
BOOL WINAPI failing_processor_information(LOGICAL_PROCESSOR_RELATIONSHIP, PSYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX,
                                          PDWORD) {
    return failed<BOOL>(FALSE, ERROR_ACCESS_DENIED);
}
DWORD WINAPI other_last_error() { return failed<DWORD>(ERROR_INVALID_PARAMETER, ERROR_SUCCESS); }
BOOL WINAPI failing_memory_status(LPMEMORYSTATUSEX) { return failed<BOOL>(FALSE, ERROR_INVALID_PARAMETER); }
HRESULT WINAPI failing_create_factory(REFIID, void** factory) {
    *factory = nullptr;
    return failed<HRESULT>(DXGI_ERROR_UNSUPPORTED, ERROR_SUCCESS);
}
HRESULT WINAPI s_false_create_factory(REFIID riid, void** factory) {
    const HRESULT result = counted_create_factory(riid, factory);
    return result == S_OK ? failed<HRESULT>(S_FALSE, ERROR_SUCCESS) : result;
}
int WINAPI failing_wide_char_to_multi_byte(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL) {
    return failed(0, ERROR_INSUFFICIENT_BUFFER);
}
HMODULE WINAPI failing_get_module_handle(LPCSTR) { return failed<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND); }
FARPROC WINAPI failing_get_proc_address(HMODULE, LPCSTR) { return failed<FARPROC>(nullptr, ERROR_PROC_NOT_FOUND); }
DWORD WINAPI failing_logical_drives() { return failed<DWORD>(0, ERROR_ACCESS_DENIED); }
UINT WINAPI failing_drive_type(LPCSTR) { return failed<UINT>(DRIVE_UNKNOWN, ERROR_SUCCESS); }
BOOL WINAPI failing_disk_free_space(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER) {
    return failed<BOOL>(FALSE, ERROR_NOT_READY);
}
HANDLE WINAPI failing_create_file(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    return failed(INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
}
BOOL WINAPI failing_device_io_control(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return failed<BOOL>(FALSE, ERROR_INVALID_FUNCTION);
}
BOOL WINAPI failing_close_handle(HANDLE handle) {
    counted_close_handle(handle);
    return failed<BOOL>(FALSE, ERROR_INVALID_HANDLE);
}

}  // namespace mrv::wine_test
