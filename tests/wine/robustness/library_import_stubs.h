// Replacements for imports of mrv_sysinfo.dll, put into its import slots by
// library_import_faults_test.cpp for one request at a time. The counting
// ones forward and note in the running request's ledger what the library
// opens and gives back; the failing ones answer as the call fails on
// Windows (calls that give something back still do, then fail).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "dxgi_ledger.h"

namespace mrv::wine_test {

// What the library acquired and gave back during one request.
struct Ledger {
    DxgiLedger dxgi;
    std::map<HKEY, int> keys;     // opened minus closed
    std::map<HANDLE, int> files;  // the same for CreateFileA's handles
    std::vector<std::string> problems;
    int fault_calls = 0;
};
extern Ledger* ledger;  // the running request's

// Counting.
LONG WINAPI counted_reg_open_key_ex(HKEY root, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY key);
LONG WINAPI counted_reg_close_key(HKEY key);
HANDLE WINAPI counted_create_file(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE template_file);
BOOL WINAPI counted_close_handle(HANDLE handle);
HRESULT WINAPI counted_create_factory(REFIID riid, void** factory);

// Failing.
LONG WINAPI failing_reg_open_key_ex(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
LONG WINAPI failing_reg_query_value_ex(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
LONG WINAPI failing_reg_close_key(HKEY key);
VOID WINAPI zeroed_system_info(LPSYSTEM_INFO info);
BOOL WINAPI failing_processor_information(LOGICAL_PROCESSOR_RELATIONSHIP, PSYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX,
                                          PDWORD);
DWORD WINAPI other_last_error();
BOOL WINAPI failing_memory_status(LPMEMORYSTATUSEX);
HRESULT WINAPI failing_create_factory(REFIID, void** factory);
HRESULT WINAPI s_false_create_factory(REFIID riid, void** factory);
int WINAPI failing_wide_char_to_multi_byte(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL);
HMODULE WINAPI failing_get_module_handle(LPCSTR);
FARPROC WINAPI failing_get_proc_address(HMODULE, LPCSTR);
DWORD WINAPI failing_logical_drives();
UINT WINAPI failing_drive_type(LPCSTR);
BOOL WINAPI failing_disk_free_space(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
HANDLE WINAPI failing_create_file(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
BOOL WINAPI failing_device_io_control(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL WINAPI failing_close_handle(HANDLE handle);

}  // namespace mrv::wine_test
