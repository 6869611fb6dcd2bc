/* The control of the load-cycle test: a plain C library with the same entry
 * point, which allocates and frees its document on every call and holds
 * nothing across a load. Whatever memory grows with it is Wine's own. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

__declspec(dllexport) int32_t get_system_capabilities_json(char* buffer, int32_t buffer_size) {
    static const char text[] = "{\"control\":true}";
    const int32_t length = (int32_t)(sizeof text - 1);
    char* document = (char*)malloc(4096);
    if (document == NULL) return 0;
    memcpy(document, text, sizeof text);
    int32_t result = length + 1;
    if (buffer != NULL && buffer_size > length) {
        memcpy(buffer, document, sizeof text);
        result = length;
    }
    free(document);
    return result;
}

#ifdef LOSE_MEMORY_ON_LOAD
#include <windows.h>

/* The control that must be caught: 4 KiB taken at each load and never given back. */
static void* volatile last_lost;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        last_lost = malloc(4096);
        if (last_lost != NULL) memset(last_lost, 1, 4096);
    }
    return TRUE;
}
#endif
