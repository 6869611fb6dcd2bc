// The shipped adapter table beyond the reference rows: its entries are in an
// order where no pattern is shadowed by an earlier entry, and its family
// patterns cover adapters the reference does not list.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "shipped_table.h"

namespace mrv::test {
namespace {

// The first matching entry in name order wins, so an entry whose pattern
// contains an earlier entry's pattern ("RTX 4060 Ti" after "RTX 4060") would
// never be reached. Each pattern, taken as an adapter name, must come back to
// its own entry.
TEST(ShippedTable, EveryPatternIsClaimedByItsOwnEntry) {
    const GpuBandwidthEstimator& table = shipped_table();
    ASSERT_TRUE(table.loaded()) << kShippedTablePath;
    ASSERT_FALSE(table.architectures().empty());
    ASSERT_FALSE(table.memory_types().empty());
    for (const ArchitectureEntry& entry : table.architectures()) {
        EXPECT_FALSE(entry.patterns.empty()) << entry.name;
        for (const std::string& pattern : entry.patterns)
            EXPECT_EQ(table.detect_architecture(pattern), entry.name) << "pattern \"" << pattern << "\"";
    }
    for (const MemoryTypeEntry& entry : table.memory_types())
        for (const std::string& pattern : entry.patterns)
            EXPECT_EQ(table.detect_memory_type(pattern), entry.name) << "pattern \"" << pattern << "\"";
}

struct UnlistedAdapter {
    const char* name;
    double marketed_gb;
    double published_gbs;
    bool mobile;
    const char* memory_type;
    const char* family;  // the architecture name starts with it
};

// Variants and parts the reference leaves out, with their published figures.
const UnlistedAdapter kUnlisted[] = {
    {"NVIDIA GeForce GTX 1650 SUPER", 4, 192, false, "GDDR6", "Turing"},
    {"NVIDIA GeForce GTX 1660 Ti", 6, 288, false, "GDDR6", "Turing"},
    {"NVIDIA GeForce GTX 1080 with Max-Q Design", 8, 320, true, "GDDR5X", "Pascal"},
    {"NVIDIA GeForce RTX 2080 SUPER", 8, 496, false, "GDDR6", "Turing"},
    {"NVIDIA GeForce RTX 2070 with Max-Q Design", 8, 384, true, "GDDR6", "Turing"},
    {"NVIDIA GeForce RTX 3060", 12, 360, false, "GDDR6", "Ampere"},
    {"NVIDIA GeForce RTX 3060 Ti", 8, 448, false, "GDDR6", "Ampere"},
    {"NVIDIA GeForce RTX 3070", 8, 448, false, "GDDR6", "Ampere"},
    {"NVIDIA GeForce RTX 3090", 24, 936.2, false, "GDDR6X", "Ampere"},
    {"NVIDIA GeForce RTX 3090 Ti", 24, 1008, false, "GDDR6X", "Ampere"},
    {"NVIDIA GeForce RTX 3050 Ti Laptop GPU", 4, 192, true, "GDDR6", "Ampere"},
    {"NVIDIA GeForce RTX 3060 Laptop GPU", 6, 336, true, "GDDR6", "Ampere"},
    {"NVIDIA GeForce RTX 4060 Ti", 16, 288, false, "GDDR6", "Ada Lovelace"},
    {"NVIDIA GeForce RTX 4070 SUPER", 12, 504, false, "GDDR6X", "Ada Lovelace"},
    {"NVIDIA GeForce RTX 4080 SUPER", 16, 736, false, "GDDR6X", "Ada Lovelace"},
    {"NVIDIA GeForce RTX 4080 Laptop GPU", 12, 432, true, "GDDR6", "Ada Lovelace"},
    {"NVIDIA GeForce RTX 4090 Laptop GPU", 16, 576, true, "GDDR6", "Ada Lovelace"},
    {"NVIDIA GeForce RTX 5070 Ti", 16, 896, false, "GDDR7", "Blackwell"},
    {"NVIDIA GeForce RTX 5070 Laptop GPU", 8, 384, true, "GDDR7", "Blackwell"},
    {"NVIDIA GeForce RTX 5070 Ti Laptop GPU", 12, 672, true, "GDDR7", "Blackwell"},
    {"NVIDIA GeForce RTX 5090 Laptop GPU", 24, 896, true, "GDDR7", "Blackwell"},
    {"NVIDIA RTX 4000 SFF Ada Generation", 20, 280, false, "GDDR6", "Ada Lovelace"},
    {"NVIDIA RTX PRO 6000 Blackwell Max-Q Workstation Edition", 96, 1792, false, "GDDR7", "Blackwell"},
    {"AMD Radeon RX 5700 XT", 8, 448, false, "GDDR6", "RDNA"},
    {"AMD Radeon RX 6600 XT", 8, 256, false, "GDDR6", "RDNA 2"},
    {"AMD Radeon RX 6700", 10, 320, false, "GDDR6", "RDNA 2"},
    {"AMD Radeon RX 7700 XT", 12, 432, false, "GDDR6", "RDNA 3"},
    {"AMD Radeon RX 9070", 16, 640, false, "GDDR6", "RDNA 4"},
    {"AMD Radeon RX 6800S", 8, 256, true, "GDDR6", "Mobile RDNA 2"},
    {"AMD Radeon RX 7600M XT", 8, 288, true, "GDDR6", "Mobile RDNA 3"},
    {"AMD Radeon RX 7700S", 8, 288, true, "GDDR6", "Mobile RDNA 3"},
    {"Radeon RX Vega", 8, 410, false, "HBM2", "Vega"},  // Vega 56; Vega 64 shares the name
    {"Intel(R) Arc(TM) A750 Graphics", 8, 512, false, "GDDR6", "Alchemist"},
    {"Intel(R) Arc(TM) A770 Graphics", 16, 560, false, "GDDR6", "Alchemist"},
    {"Intel(R) Arc(TM) A370M Graphics", 4, 112, true, "GDDR6", "Alchemist"},
};

TEST(UnlistedAdapters, VariantsAndNewPartsGetTheirFamilysFigures) {
    ASSERT_TRUE(shipped_table().loaded());
    for (const UnlistedAdapter& adapter : kUnlisted) {
        SCOPED_TRACE(adapter.name);
        const GpuInfo gpu = estimated(adapter.name, bytes_of(adapter.marketed_gb));
        EXPECT_EQ(gpu.architecture.rfind(adapter.family, 0), 0u) << gpu.architecture;
        EXPECT_EQ(gpu.memory_type, adapter.memory_type);
        EXPECT_EQ(gpu.is_mobile, adapter.mobile);
        EXPECT_LE(std::fabs(worst_relative_error(adapter.name, adapter.marketed_gb, adapter.published_gbs)),
                  kTolerance);
    }
}

TEST(UnlistedAdapters, LaptopMarkersDoNotFireOnDesktopNames) {
    ASSERT_TRUE(shipped_table().loaded());
    const GpuBandwidthEstimator& table = shipped_table();
    for (const char* desktop : {"AMD Radeon RX 7900 XTX", "AMD Radeon RX 7900 GRE", "AMD Radeon RX 9070 XT",
                                "AMD Radeon PRO W7900", "AMD Radeon RX 6650 XT", "Radeon RX Vega",
                                "NVIDIA GeForce RTX 4060 Ti", "NVIDIA GeForce GTX 1660 SUPER",
                                "NVIDIA RTX 4000 SFF Ada Generation", "NVIDIA RTX A2000 12GB",
                                "NVIDIA RTX PRO 6000 Blackwell Max-Q Workstation Edition",
                                "Intel(R) Arc(TM) B580 Graphics", "Intel(R) Arc(TM) A770 Graphics"})
        EXPECT_FALSE(table.detect_mobile(desktop)) << desktop;
    for (const char* laptop : {"AMD Radeon RX 7600M", "AMD Radeon RX 6650M XT", "AMD Radeon RX 7600S",
                               "AMD Radeon PRO W6600M", "AMD Radeon RX 5500M", "Radeon RX Vega M GH Graphics",
                               "NVIDIA GeForce RTX 2080 Super with Max-Q Design", "NVIDIA GeForce RTX 2050",
                               "NVIDIA GeForce RTX 5090 Laptop GPU", "NVIDIA RTX A2000 8GB Laptop GPU",
                               "Intel(R) Arc(TM) A550M Graphics"})
        EXPECT_TRUE(table.detect_mobile(laptop)) << laptop;
}

TEST(UnlistedAdapters, IntegratedNamesGetNoBandwidth) {
    ASSERT_TRUE(shipped_table().loaded());
    for (const char* name : {"AMD Radeon(TM) RX Vega 10 Graphics", "AMD Radeon(TM) Vega 8 Graphics",
                             "AMD Radeon RX Vega 11 Graphics", "AMD Radeon 890M Graphics",
                             "AMD Radeon(TM) 8060S Graphics", "AMD Radeon(TM) 610M", "Intel(R) HD Graphics 620",
                             "Intel(R) Iris(R) Plus Graphics", "Intel(R) Arc(TM) 130V GPU (8GB)",
                             "Intel(R) Graphics"})
        for (const double gib : {0.125, 0.5, 4.0})
            EXPECT_EQ(estimated(name, bytes_of(gib)).memory_bandwidth_gbs, 0.0) << name << " at " << gib << " GiB";
}

}  // namespace
}  // namespace mrv::test
