// Loaded into a program before its main runs (run_process's injected DLL):
// the path the loader holds for the program becomes MRV_TEST_MODULE_PATH, so
// that GetModuleFileNameA answers as for a program started from there. Wine
// cannot start a program whose path has 260 characters or more; this lets a
// test see what the program makes of such a path all the same.
#include <windows.h>
#include <winternl.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::wstring module_path;  // lives as long as the process, like the loader's own string

void lengthen_module_path(const char* path) {
    module_path.assign(path, path + std::strlen(path));
    const auto* program = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
    PROCESS_BASIC_INFORMATION process{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process,
                                  nullptr) != 0)
        return;
    LIST_ENTRY* modules = &process.PebBaseAddress->Ldr->InMemoryOrderModuleList;
    for (LIST_ENTRY* link = modules->Flink; link != modules; link = link->Flink) {
        auto* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
        if (entry->DllBase != program) continue;
        entry->FullDllName.Buffer = module_path.data();
        entry->FullDllName.Length = static_cast<USHORT>(module_path.size() * sizeof(wchar_t));
        entry->FullDllName.MaximumLength = static_cast<USHORT>(entry->FullDllName.Length + sizeof(wchar_t));
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    const char* path = std::getenv("MRV_TEST_MODULE_PATH");
    if (reason == DLL_PROCESS_ATTACH && path != nullptr) lengthen_module_path(path);
    return TRUE;
}
