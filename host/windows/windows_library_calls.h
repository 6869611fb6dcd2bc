// The library protocol's seam with the real module loader.
#pragma once

#include "core/library_binding.h"

namespace mrv::syscheck {

class WindowsLibraryCalls final : public LibraryCalls {
public:
    Module load_library(const char* path) override;
    Entry get_proc_address(Module module, const char* name) override;
    std::int32_t call_capabilities_entry(Entry entry, char* buffer, std::int32_t buffer_size) override;
    void free_library(Module module) override;
};

}  // namespace mrv::syscheck
