// The DLL's entry point: gives back what the statically linked C++ runtime
// would keep for the life of a process it thinks it owns. An application
// that loads and frees the library again and again would otherwise lose it
// at every cycle.
#include <windows.h>

#if defined(__MINGW32__)
#include "boundary/windows_thread_primitives.h"
#endif

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres() noexcept;  // libstdc++'s, declared in no header: frees the emergency exception pool
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
#if defined(__MINGW32__)
    if (reason == DLL_THREAD_DETACH) mrv::release_thread_values();
#endif
    // A null reserved pointer means FreeLibrary; at process exit the memory goes anyway.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
#if defined(__GLIBCXX__)
        __gnu_cxx::__freeres();
#endif
    }
    return TRUE;
}
