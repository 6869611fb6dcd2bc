// sysinfo_record.exe on this Wine machine, replayed by sysinfo_replay.exe:
// the replay must give the recorder's own document byte for byte, and the
// real DLL's document apart from the figures that move between two calls.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "../probes/capabilities_of.h"
#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

using nlohmann::json;

// An empty pattern matches every adapter name, so Wine's adapter gets an
// architecture and a table bandwidth whatever Wine calls it.
constexpr char kTables[] =
    R"({"architectures": {"Any adapter": {"coefficient": 20.0, "patterns": [""]}},)"
    R"( "memory_types": {"Any memory": {"multiplier": 1.0, "patterns": [""]}}, "mobile_patterns": []})";

// Figures that change between two collections on a running machine.
json masked(json document) {
    document["memory"]["available_ram_bytes"] = 0;
    document["memory"]["available_page_file_bytes"] = 0;
    for (json& drive : document["storage"]) drive["free_space_bytes"] = 0;
    for (json& gpu : document["gpus"]) gpu["current_vram_usage_bytes"] = 0;
    return document;
}

class ProfileRecording : public testing::Test {
protected:
    void SetUp() override {
        scratch_ = make_scratch_directory("profile_recording");
        ASSERT_TRUE(write_file(scratch_ + "gpu_architectures.json", kTables));
    }

    ProcessResult run(const std::string& program, const std::string& arguments) {
        return run_process("\"" + program_directory() + program + "\" " + arguments, scratch_, {}, 120000);
    }

    std::string scratch_;
};

TEST_F(ProfileRecording, ReplayGivesTheRecordersAndTheLibrarysDocument) {
    const ProcessResult recorded = run("sysinfo_record.exe", "--note \"Wine test\" machine.json");
    ASSERT_TRUE(recorded.started);
    ASSERT_EQ(recorded.exit_code, 0u) << recorded.err;
    ASSERT_TRUE(file_exists(scratch_ + "machine.json"));

    const json profile = json::parse(read_file(scratch_ + "machine.json"));
    const std::string origin = profile.at("origin");
    EXPECT_EQ(origin.rfind("recorded by sysinfo_record on Windows ", 0), 0u) << origin;
    EXPECT_NE(origin.find(" under Wine "), std::string::npos) << origin;
    EXPECT_NE(origin.find("; Wine test"), std::string::npos) << origin;

    // The recorder collects without tables; so does a replay without --tables.
    const ProcessResult plain = run("sysinfo_replay.exe", "machine.json");
    ASSERT_EQ(plain.exit_code, 0u) << plain.err;
    EXPECT_EQ(plain.out, recorded.out);

    const ProcessResult with_tables = run("sysinfo_replay.exe", "--tables gpu_architectures.json machine.json");
    ASSERT_EQ(with_tables.exit_code, 0u) << with_tables.err;
    const json replayed = json::parse(with_tables.out);
    ASSERT_FALSE(replayed["gpus"].empty()) << "Wine shows no adapter: the tables would go untested";
    EXPECT_EQ(replayed["gpus"][0]["architecture"], "Any adapter");

    // The DLL in its own process, reading gpu_architectures.json from the same folder.
    const json library = capabilities_from_process(program_directory(), scratch_);
    ASSERT_TRUE(library.is_object());
    EXPECT_EQ(masked(replayed).dump(2), masked(library).dump(2));
}

TEST_F(ProfileRecording, ReplayRefusesABrokenProfileNamingTheField) {
    ASSERT_EQ(run("sysinfo_record.exe", "machine.json").exit_code, 0u);
    json profile = json::parse(read_file(scratch_ + "machine.json"));
    profile["memory_status"].erase("total_phys");
    ASSERT_TRUE(write_file(scratch_ + "broken.json", profile.dump()));

    const ProcessResult replay = run("sysinfo_replay.exe", "broken.json");
    EXPECT_EQ(replay.exit_code, 1u);
    EXPECT_TRUE(replay.out.empty());
    EXPECT_NE(replay.err.find("broken.json: memory_status.total_phys: required field is missing"), std::string::npos)
        << replay.err;
}

}  // namespace
}  // namespace mrv::wine_test
