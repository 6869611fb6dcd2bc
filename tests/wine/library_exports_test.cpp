// The real mrv_sysinfo.dll, loaded the way applications load it.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "wine_test_support.h"

namespace {

using Entry = int32_t(__cdecl*)(char*, int32_t);
using Version = const char*(__cdecl*)();

class LibraryExports : public testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryA((mrv::wine_test::program_directory() + "mrv_sysinfo.dll").c_str());
        ASSERT_NE(module_, nullptr);
        entry_ = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module_, "get_system_capabilities_json")));
        version_ = reinterpret_cast<Version>(reinterpret_cast<void*>(GetProcAddress(module_, "get_library_version")));
        ASSERT_NE(entry_, nullptr);
        ASSERT_NE(version_, nullptr);
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    // One document through the two-call protocol.
    std::string fetch() {
        const int32_t needed = entry_(nullptr, 0);
        std::string buffer(static_cast<std::size_t>(needed), '\0');
        const int32_t length = entry_(buffer.data(), needed);
        if (length <= 0 || length >= needed) return {};
        return buffer.substr(0, static_cast<std::size_t>(length));
    }

    HMODULE module_ = nullptr;
    Entry entry_ = nullptr;
    Version version_ = nullptr;
};

TEST_F(LibraryExports, VersionIsOneConstantText) {
    const char* first = version_();
    EXPECT_STREQ(first, "1.0.0");
    fetch();
    EXPECT_EQ(version_(), first);
}

TEST_F(LibraryExports, SizeQueriesWriteNothingAndReturnLengthPlusOne) {
    const std::string document = fetch();
    ASSERT_FALSE(document.empty());
    // Sizes that cannot hold text and terminator, whatever the length is now.
    for (const int32_t size : {0, -1, INT_MIN, 1}) {
        std::string buffer(64, '#');
        const int32_t result = entry_(buffer.data(), size);
        EXPECT_GT(result, 1) << size;
        EXPECT_EQ(buffer, std::string(64, '#')) << size;
    }
    EXPECT_GT(entry_(nullptr, 1 << 20), 1);
}

TEST_F(LibraryExports, LargeBufferGetsTextNulAndKeepsTheRest) {
    std::vector<char> buffer(1 << 16, '#');
    const int32_t length = entry_(buffer.data(), static_cast<int32_t>(buffer.size()));
    ASSERT_GT(length, 0);
    ASSERT_LT(length, static_cast<int32_t>(buffer.size()));
    EXPECT_EQ(buffer[static_cast<std::size_t>(length)], '\0');
    EXPECT_EQ(std::strlen(buffer.data()), static_cast<std::size_t>(length));
    EXPECT_EQ(buffer[static_cast<std::size_t>(length) + 1], '#');
    EXPECT_EQ(buffer.back(), '#');
}

TEST_F(LibraryExports, DocumentHasEveryKey) {
    const auto document = nlohmann::json::parse(fetch());
    const std::map<std::string, std::vector<std::string>> keys = {
        {"cpu", {"base_frequency_mhz", "brand", "estimated_flops", "has_avx2", "has_avx512", "has_f16c", "has_fma",
                 "logical_cores", "max_frequency_mhz", "physical_cores"}},
        {"memory", {"available_page_file_bytes", "available_ram_bytes", "total_page_file_bytes", "total_ram_bytes"}},
    };
    for (const auto& section : keys) {
        ASSERT_TRUE(document.at(section.first).is_object());
        EXPECT_EQ(document.at(section.first).size(), section.second.size());
        for (const auto& key : section.second) EXPECT_TRUE(document[section.first].contains(key)) << key;
    }
    EXPECT_TRUE(document.at("gpus").is_array());
    EXPECT_TRUE(document.at("storage").is_array());
    for (const char* verdict : {"llm_server", "transcription"}) {
        EXPECT_TRUE(document.at("capabilities").at(verdict).at("status").is_string());
        EXPECT_TRUE(document.at("capabilities").at(verdict).at("warnings").is_array());
    }
    for (const char* key : {"best_gpu_index", "expected_tokens_per_sec", "recommended_gpu_layers", "recommended_mode",
                            "recommended_threads"})
        EXPECT_TRUE(document["capabilities"]["llm_server"].contains(key)) << key;
}

TEST_F(LibraryExports, ConcurrentCallersEachGetACompleteDocument) {
    std::vector<std::string> documents(3);
    std::vector<std::thread> threads;
    for (auto& document : documents)
        threads.emplace_back([&] {
            std::vector<char> buffer(1 << 16, '\0');
            const int32_t length = entry_(buffer.data(), static_cast<int32_t>(buffer.size()));
            if (length > 0) document.assign(buffer.data(), static_cast<std::size_t>(length));
        });
    for (auto& thread : threads) thread.join();
    for (const auto& document : documents) EXPECT_TRUE(nlohmann::json::accept(document)) << document;
}

}  // namespace
