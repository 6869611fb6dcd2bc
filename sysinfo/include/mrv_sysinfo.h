/* mrv_sysinfo.dll: hardware capability check for 64-bit Windows.
 *
 * get_system_capabilities_json probes the machine afresh on every call and
 * produces one compact UTF-8 JSON document of length L.
 *   - buffer null, buffer_size 0 or buffer_size < L + 1 (negative sizes
 *     included): nothing is written, the result is L + 1;
 *   - otherwise the text and one NUL are written, the result is L.
 * A result below buffer_size therefore means the text was written. The
 * document may grow between two calls; check the second result.
 * The result is 0 only if the library could not produce a document at all
 * (for instance memory exhaustion); no exception ever leaves it.
 * Calls from several threads are served one after another.
 *
 * get_library_version returns the constant "1.0.0", owned by the library.
 */
#ifndef MRV_SYSINFO_H
#define MRV_SYSINFO_H

#include <stdint.h>

#if defined(_WIN32) && defined(MRV_SYSINFO_BUILDING)
#define MRV_SYSINFO_API __declspec(dllexport)
#elif defined(_WIN32)
#define MRV_SYSINFO_API __declspec(dllimport)
#else
#define MRV_SYSINFO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

MRV_SYSINFO_API int32_t get_system_capabilities_json(char* buffer, int32_t buffer_size);
MRV_SYSINFO_API const char* get_library_version(void);

#ifdef __cplusplus
}
#endif

#endif
