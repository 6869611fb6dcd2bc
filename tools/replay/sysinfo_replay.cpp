// sysinfo_replay: the library's whole pipeline on a machine profile instead
// of a machine, printing the capabilities document it would have returned.
//
//   sysinfo_replay [--pretty] [--tables FILE] PROFILE
//
// Without --tables no architecture table is loaded, as on a machine without
// gpu_architectures.json; with it, FILE plays that file's part. Exit status
// 0 with the document on stdout, 1 with a message on stderr when the profile
// or the tables cannot be used, 2 for a wrong command line.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <nlohmann/json.hpp>

#include "machine_profiles/profile_json.h"
#include "machine_profiles/profile_replay.h"
#include "probes/architecture_tables.h"
#include "probes/gpu_bandwidth_estimator.h"

namespace {

constexpr char kUsage[] = "usage: sysinfo_replay [--pretty] [--tables FILE] PROFILE\n";

struct Options {
    bool pretty = false;
    std::optional<std::string> tables;
    std::string profile;
};

std::optional<Options> parse_options(int argc, char** argv) {
    Options options;
    bool have_profile = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--pretty") {
            options.pretty = true;
        } else if (argument == "--tables" && i + 1 < argc) {
            options.tables = argv[++i];
        } else if (!argument.empty() && argument[0] != '-' && !have_profile) {
            options.profile = argument;
            have_profile = true;
        } else {
            return std::nullopt;
        }
    }
    if (!have_profile) return std::nullopt;
    return options;
}

std::optional<std::string> read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int fail(const std::string& message) {
    std::cerr << "sysinfo_replay: " << message << "\n";
    return 1;
}

int run(const Options& options) {
    const std::optional<std::string> text = read_file(options.profile);
    if (!text) return fail(options.profile + ": cannot be read");
    mrv::MachineProfile profile;
    try {
        profile = mrv::read_machine_profile(*text);
    } catch (const mrv::ProfileFormatError& error) {
        return fail(options.profile + ": " + error.what());
    }

    mrv::ArchitectureTables tables;
    if (options.tables) {
        std::ifstream file(*options.tables, std::ios::binary);
        if (!file.is_open()) return fail(*options.tables + ": cannot be read");
        try {
            tables = mrv::read_architecture_tables(file);
        } catch (const std::exception& error) {
            return fail(*options.tables + ": " + error.what());
        }
    }
    const mrv::GpuBandwidthEstimator estimator{std::move(tables), options.tables.has_value()};

    mrv::ReplayOutcome outcome;
    try {
        outcome = mrv::replay_machine_profile(profile, estimator);
    } catch (const std::exception& error) {
        return fail(std::string("the library produced no document: ") + error.what());
    }
    for (const std::string& misuse : outcome.misuse) std::cerr << "sysinfo_replay: platform misuse: " << misuse << "\n";
    if (!outcome.misuse.empty()) return 1;

    if (options.pretty)
        std::cout << nlohmann::json::parse(outcome.document).dump(2, ' ', false) << "\n";
    else
        std::cout << outcome.document << "\n";
    std::cout.flush();
    return std::cout.good() ? 0 : fail("cannot write the document");
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The document's bytes exactly, without CR before each line feed.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const std::optional<Options> options = parse_options(argc, argv);
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        return run(*options);
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}
