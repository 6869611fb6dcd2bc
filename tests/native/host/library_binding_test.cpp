#include "core/library_binding.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace mrv::syscheck {
namespace {

constexpr Module kModule = 0x7ff10000;
constexpr Entry kEntry = 0x7ff10420;

// Thrown by a scripted call; counts its live copies.
class LibraryFault {
public:
    explicit LibraryFault(int& alive) : alive_(alive) { ++alive_; }
    LibraryFault(const LibraryFault& other) : alive_(other.alive_) { ++alive_; }
    LibraryFault& operator=(const LibraryFault&) = delete;
    ~LibraryFault() { --alive_; }

private:
    int& alive_;
};

// A library whose two answers are scripted. Records what the binding did.
class ScriptedLibrary final : public LibraryCalls {
public:
    bool loads = true;
    bool exports_entry = true;
    std::int32_t size_answer = 0;
    std::string second_text;                     // written into the buffer, NUL included, if it fits
    std::optional<std::int32_t> second_answer;  // default: the text's length
    std::size_t throwing_call = 0;               // 1 or 2: that call throws instead

    std::vector<std::string> loaded_paths;
    std::vector<std::string> looked_up;
    struct Call {
        bool null_buffer;
        std::int32_t size;
        bool zero_filled;
    };
    std::vector<Call> calls;
    std::vector<Module> freed;
    int faults_alive = 0;
    bool freed_while_fault_alive = false;

    Module load_library(const char* path) override {
        loaded_paths.emplace_back(path);
        return loads ? kModule : 0;
    }
    Entry get_proc_address(Module module, const char* name) override {
        looked_up.emplace_back(name);
        return module == kModule && exports_entry ? kEntry : 0;
    }
    std::int32_t call_capabilities_entry(Entry entry, char* buffer, std::int32_t size) override {
        EXPECT_EQ(entry, kEntry);
        bool zero_filled = true;
        for (std::int32_t i = 0; buffer != nullptr && i < size; ++i) zero_filled = zero_filled && buffer[i] == '\0';
        calls.push_back({buffer == nullptr, size, zero_filled});
        if (calls.size() == throwing_call) throw LibraryFault(faults_alive);
        if (calls.size() == 1) return size_answer;
        if (buffer != nullptr && static_cast<std::int32_t>(second_text.size()) < size)
            second_text.copy(buffer, second_text.size());
        return second_answer.value_or(static_cast<std::int32_t>(second_text.size()));
    }
    void free_library(Module module) override {
        freed_while_fault_alive = freed_while_fault_alive || faults_alive > 0;
        freed.push_back(module);
    }
};

struct Fetched {
    bool ok;
    std::string document;
    std::string error;
};

Fetched fetch(ScriptedLibrary& library) {
    Fetched result{false, "untouched", "untouched"};
    result.ok = fetch_capabilities_json(library, "C:\\check\\", result.document, result.error);
    return result;
}

TEST(LibraryBinding, LoadsByFullPathAndFetchesWithTwoCalls) {
    ScriptedLibrary library;
    library.second_text = R"({"capabilities":{}})";
    library.size_answer = static_cast<std::int32_t>(library.second_text.size()) + 1;
    const Fetched result = fetch(library);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.document, library.second_text);
    EXPECT_EQ(result.error, "untouched");
    EXPECT_EQ(library.loaded_paths, std::vector<std::string>{"C:\\check\\mrv_sysinfo.dll"});
    EXPECT_EQ(library.looked_up, std::vector<std::string>{"get_system_capabilities_json"});
    ASSERT_EQ(library.calls.size(), 2u);
    EXPECT_TRUE(library.calls[0].null_buffer);
    EXPECT_EQ(library.calls[0].size, 0);
    EXPECT_FALSE(library.calls[1].null_buffer);
    EXPECT_EQ(library.calls[1].size, library.size_answer);
    EXPECT_TRUE(library.calls[1].zero_filled);
    EXPECT_EQ(library.freed, std::vector<Module>{kModule});
}

TEST(LibraryBinding, ShorterSecondDocumentIsTakenAtItsLength) {
    ScriptedLibrary library;
    library.size_answer = 100;
    library.second_text = std::string("{\"a\":1}\0tail after the terminator", 33);
    library.second_answer = 7;
    const Fetched result = fetch(library);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.document, "{\"a\":1}");
    EXPECT_EQ(library.freed.size(), 1u);
}

TEST(LibraryBinding, EachFailureHasItsMessageAndUnloadsOnce) {
    struct Case {
        const char* name;
        bool loads;
        bool exports_entry;
        std::int32_t size_answer;
        std::optional<std::int32_t> second_answer;
        const char* message;
        std::size_t calls_made;
    };
    const char* const no_document = "Библиотека не смогла сформировать отчёт о системе.";
    const char* const bad_size = "Библиотека вернула некорректный размер буфера.";
    const Case cases[] = {
        {"not loaded", false, true, 10, std::nullopt,
         "Не удалось загрузить библиотеку проверки системы (mrv_sysinfo.dll).", 0},
        {"entry missing", true, false, 10, std::nullopt, "В библиотеке не найдена функция get_system_capabilities_json.",
         0},
        {"size 0", true, true, 0, std::nullopt, bad_size, 1},
        {"size -1", true, true, -1, std::nullopt, bad_size, 1},
        {"size INT_MIN", true, true, INT_MIN, std::nullopt, bad_size, 1},
        {"second 0", true, true, 10, 0, no_document, 2},
        {"second -1", true, true, 10, -1, no_document, 2},
        {"second INT_MIN", true, true, 10, INT_MIN, no_document, 2},
        {"second exactly n", true, true, 10, 10, no_document, 2},
        {"second n + 1: the document grew", true, true, 10, 11, no_document, 2},
        {"second INT_MAX", true, true, 10, INT_MAX, no_document, 2},
    };
    for (const Case& c : cases) {
        ScriptedLibrary library;
        library.loads = c.loads;
        library.exports_entry = c.exports_entry;
        library.size_answer = c.size_answer;
        library.second_text = "{}";
        library.second_answer = c.second_answer;
        const Fetched result = fetch(library);
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_EQ(result.error, c.message) << c.name;
        EXPECT_EQ(result.document, "untouched") << c.name;
        EXPECT_EQ(library.calls.size(), c.calls_made) << c.name;
        EXPECT_EQ(library.freed, c.loads ? std::vector<Module>{kModule} : std::vector<Module>{}) << c.name;
    }
}

// On Windows the thrown object and its destructor may live in the library:
// the exception has to be over before the library is unloaded.
TEST(LibraryBinding, ExceptionOutOfEitherCallIsAFailedDocumentEndedBeforeTheUnload) {
    for (const std::size_t throwing_call : {1u, 2u}) {
        ScriptedLibrary library;
        library.size_answer = 10;
        library.second_text = "{}";
        library.throwing_call = throwing_call;
        Fetched result{};
        EXPECT_NO_THROW(result = fetch(library)) << throwing_call;
        EXPECT_FALSE(result.ok) << throwing_call;
        EXPECT_EQ(result.error, "Библиотека не смогла сформировать отчёт о системе.") << throwing_call;
        EXPECT_EQ(library.calls.size(), throwing_call);
        EXPECT_EQ(library.freed, std::vector<Module>{kModule}) << throwing_call;
        EXPECT_FALSE(library.freed_while_fault_alive) << throwing_call;
        EXPECT_EQ(library.faults_alive, 0) << throwing_call;
    }
}

TEST(LibraryBinding, SmallestAcceptedAnswers) {
    // n = 2, m = 1: one byte of text and its terminator.
    ScriptedLibrary library;
    library.size_answer = 2;
    library.second_text = "7";
    const Fetched result = fetch(library);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.document, "7");

    // n = 1 leaves no m with 0 < m < n.
    ScriptedLibrary tiny;
    tiny.size_answer = 1;
    tiny.second_answer = 0;
    EXPECT_FALSE(fetch(tiny).ok);
}

}  // namespace
}  // namespace mrv::syscheck
