#include "core/library_binding.h"

#include <new>
#include <utility>

namespace mrv::syscheck {

namespace {

// Frees the module on every way out, exactly once.
class LoadedModule {
public:
    LoadedModule(LibraryCalls& calls, Module module) : calls_(calls), module_(module) {}
    ~LoadedModule() { calls_.free_library(module_); }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

private:
    LibraryCalls& calls_;
    Module module_;
};

// A call that lets an exception out has failed like one that crashed. The
// exception ends here, while the library, which may own its code, is loaded.
bool call_entry(LibraryCalls& calls, Entry entry, char* buffer, std::int32_t buffer_size,
                std::int32_t& result) noexcept {
    try {
        result = calls.call_capabilities_entry(entry, buffer, buffer_size);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool fetch_capabilities_json(LibraryCalls& calls, const std::string& directory, std::string& document,
                             std::string& error) {
    const std::string path = directory + kLibraryFileName;
    const Module module = calls.load_library(path.c_str());
    if (module == 0) {
        error = kLoadFailedMessage;
        return false;
    }
    const LoadedModule loaded(calls, module);

    const Entry entry = calls.get_proc_address(module, kEntryName);
    if (entry == 0) {
        error = kEntryMissingMessage;
        return false;
    }

    std::int32_t needed = 0;
    if (!call_entry(calls, entry, nullptr, 0, needed)) {
        error = kNoDocumentMessage;
        return false;
    }
    if (needed <= 0) {
        error = kBadSizeMessage;
        return false;
    }

    // A size the process cannot allocate is as unusable as a negative one,
    // and must end in a report rather than an escaping exception.
    std::string buffer;
    try {
        buffer.assign(static_cast<std::size_t>(needed), '\0');
    } catch (const std::bad_alloc&) {
        error = kBadSizeMessage;
        return false;
    }

    std::int32_t length = 0;
    if (!call_entry(calls, entry, buffer.data(), needed, length) || length <= 0 || length >= needed) {
        error = kNoDocumentMessage;
        return false;
    }
    buffer.resize(static_cast<std::size_t>(length));
    document = std::move(buffer);
    return true;
}

}  // namespace mrv::syscheck
