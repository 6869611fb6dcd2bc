#include "import_table.h"

namespace mrv::wine_test {

std::vector<ImportedFunction> imported_functions(HMODULE module) {
    std::vector<ImportedFunction> functions;
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return functions;
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        // Without OriginalFirstThunk the names are gone once the loader bound the slots.
        if (descriptor->OriginalFirstThunk == 0) continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* by_name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            functions.push_back({reinterpret_cast<const char*>(base + descriptor->Name),
                                 reinterpret_cast<const char*>(by_name->Name),
                                 reinterpret_cast<void**>(&slots->u1.Function)});
        }
    }
    return functions;
}

void** import_slot(HMODULE module, const char* name) {
    for (const ImportedFunction& function : imported_functions(module))
        if (function.name == name) return function.slot;
    return nullptr;
}

bool write_import_slot(void** slot, void* value) {
    DWORD previous = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return false;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, previous, &previous);
    return true;
}

ImportPatch::ImportPatch(void** slot, void* replacement) : slot_(slot), original_(slot ? *slot : nullptr) {
    if (slot_ != nullptr) write_import_slot(slot_, replacement);
}

ImportPatch::~ImportPatch() {
    if (slot_ != nullptr) write_import_slot(slot_, original_);
}

}  // namespace mrv::wine_test
