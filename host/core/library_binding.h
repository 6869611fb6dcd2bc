// Obtaining the capabilities document from mrv_sysinfo.dll: load it from the
// program directory, run the two-call buffer protocol of
// get_system_capabilities_json, check both results, copy the text, unload.
// LibraryCalls is the seam to the module loader, one method per Windows call,
// so that the protocol and its checks run the same natively and on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace mrv::syscheck {

using Module = std::uintptr_t;  // HMODULE; 0 is none
using Entry = std::uintptr_t;   // a function found by get_proc_address; 0 is none

class LibraryCalls {
public:
    virtual ~LibraryCalls() = default;
    virtual Module load_library(const char* path) = 0;                 // LoadLibraryA
    virtual Entry get_proc_address(Module module, const char* name) = 0;  // GetProcAddress
    // int32_t get_system_capabilities_json(char* buffer, int32_t buffer_size)
    virtual std::int32_t call_capabilities_entry(Entry entry, char* buffer, std::int32_t buffer_size) = 0;
    virtual void free_library(Module module) = 0;  // FreeLibrary, result not examined
};

inline constexpr const char* kLibraryFileName = "mrv_sysinfo.dll";
inline constexpr const char* kEntryName = "get_system_capabilities_json";

inline constexpr const char* kLoadFailedMessage =
    "Не удалось загрузить библиотеку проверки системы (mrv_sysinfo.dll).";
inline constexpr const char* kEntryMissingMessage = "В библиотеке не найдена функция get_system_capabilities_json.";
inline constexpr const char* kBadSizeMessage = "Библиотека вернула некорректный размер буфера.";
inline constexpr const char* kNoDocumentMessage = "Библиотека не смогла сформировать отчёт о системе.";

// True with `document` set to the text the library wrote; false with `error`
// set to one of the four messages above (an exception out of the library is
// kNoDocumentMessage, like a crash). The library is unloaded on return.
bool fetch_capabilities_json(LibraryCalls& calls, const std::string& directory, std::string& document,
                             std::string& error);

}  // namespace mrv::syscheck
