// A loaded module's import address table: the slot through which the module
// calls one imported function, found by walking its IMAGE_IMPORT_DESCRIPTORs
// (names from OriginalFirstThunk, slots at the same positions in
// FirstThunk), and a patch that points such a slot elsewhere for a scope.
// Only calls the module makes after the patch go through the replacement.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mrv::wine_test {

struct ImportedFunction {
    std::string dll;  // as the import table names it, e.g. "KERNEL32.dll"
    std::string name;
    void** slot;
};

// Every function `module` imports by name.
std::vector<ImportedFunction> imported_functions(HMODULE module);

// The slot of `name` (imported from whichever DLL); null when not imported.
void** import_slot(HMODULE module, const char* name);

class ImportPatch {
public:
    // No patch when slot is null.
    ImportPatch(void** slot, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

private:
    void** slot_;
    void* original_;
};

// Writes one slot; false when its page could not be made writable.
bool write_import_slot(void** slot, void* value);

}  // namespace mrv::wine_test
