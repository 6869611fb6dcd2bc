// The machine profiles of tests/profiles and the small architecture table
// their expected documents were made with.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/temp_directory.h"
#include "probes/architecture_tables.h"
#include "probes/gpu_bandwidth_estimator.h"

namespace mrv::test {

inline const std::filesystem::path kProfileDirectory = std::filesystem::path(MRV_TEST_DATA_DIR) / "profiles";
// Real machines, assembled from published figures; their expected documents
// are made with the shipped adapter table, as their owners would see them.
inline const std::filesystem::path kRealMachineDirectory = kProfileDirectory / "real_machines";

// Names of the profiles in `directory` (file names without ".json"), sorted.
inline std::vector<std::string> profile_names(const std::filesystem::path& directory = kProfileDirectory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const std::string file = entry.path().filename().string();
        const std::string suffix = ".json";
        if (file.size() <= suffix.size() || file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0 ||
            file.find(".expected.") != std::string::npos)
            continue;
        names.push_back(file.substr(0, file.size() - suffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string profile_text(const std::string& name,
                                 const std::filesystem::path& directory = kProfileDirectory) {
    return read_bytes(directory / (name + ".json"));
}

inline std::string expected_document(const std::string& name,
                                     const std::filesystem::path& directory = kProfileDirectory) {
    return read_bytes(directory / (name + ".expected.json"));
}

inline GpuBandwidthEstimator profile_test_estimator() {
    std::ifstream file(std::filesystem::path(MRV_TEST_DATA_DIR) / "data" / "profile_tables.json", std::ios::binary);
    return GpuBandwidthEstimator{read_architecture_tables(file), true};
}

}  // namespace mrv::test
