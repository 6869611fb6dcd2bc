#include "probes/memory_probe.h"

namespace mrv {

void probe_memory(Platform& platform, MemoryInfo& memory) {
    MemoryStatusEx status;
    status.length = sizeof status;
    if (!platform.global_memory_status_ex(status)) return;
    memory.total_ram_bytes = status.total_phys;
    memory.available_ram_bytes = status.avail_phys;
    // The commit limit (RAM plus paging files), not the paging files alone.
    memory.total_page_file_bytes = status.total_page_file;
    memory.available_page_file_bytes = status.avail_page_file;
}

}  // namespace mrv
