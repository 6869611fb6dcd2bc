/* The public header must stay valid C: applications include it from C. */
#include "mrv_sysinfo.h"

typedef int32_t (*capabilities_entry)(char*, int32_t);
typedef const char* (*version_entry)(void);

capabilities_entry public_header_capabilities_entry = get_system_capabilities_json;
version_entry public_header_version_entry = get_library_version;
