// The shipped adapter table against published figures of real adapters:
// every row of tests/data/gpu_reference.tsv through the library's loader and
// estimator, with the rows it gets wrong listed, each with its reason, in
// tests/data/gpu_reference_exceptions.tsv.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gpu_reference_file.h"
#include "shipped_table.h"

namespace mrv::test {
namespace {

const ReferenceTable& reference() {
    static const ReferenceTable table = read_reference();
    return table;
}

std::set<std::string> listed_rows(const std::string& check) {
    std::set<std::string> rows;
    for (const ListedException& exception : read_exceptions())
        if (exception.check == check) rows.insert(exception.row);
    return rows;
}

// Every name shares one coefficient, so rows that share a name and differ in
// GB/s per GB cannot all be within tolerance. Per name, the most rows that one
// figure can serve: each row admits an interval of (coefficient × mobile
// derating), and the best figure sits where most intervals overlap.
std::size_t rows_one_figure_per_name_can_serve(const std::vector<ReferenceRow>& rows) {
    std::map<std::string, std::vector<std::pair<double, double>>> admitted;
    for (const ReferenceRow& row : rows) {
        const double lowest = (1.0 - kTolerance) * row.bandwidth_gbs / (kReportedShare[1] * row.vram_gb);
        const double highest = (1.0 + kTolerance) * row.bandwidth_gbs / (kReportedShare[0] * row.vram_gb);
        admitted[row.name].emplace_back(lowest, highest);
    }
    std::size_t servable = 0;
    for (const auto& [name, intervals] : admitted) {
        std::size_t best = 0;
        for (const auto& candidate : intervals) {
            const auto covers = [&candidate](const std::pair<double, double>& interval) {
                return interval.first <= candidate.first && candidate.first <= interval.second;
            };
            best = std::max(best, static_cast<std::size_t>(std::count_if(intervals.begin(), intervals.end(), covers)));
        }
        servable += best;
    }
    return servable;
}

TEST(ReferenceAdapters, ReferenceAndTableAreThere) {
    ASSERT_TRUE(shipped_table().loaded()) << kShippedTablePath;
    EXPECT_FALSE(reference().discrete.empty());
    EXPECT_FALSE(reference().integrated.empty());
    std::set<std::string> keys;
    for (const ReferenceRow& row : reference().discrete)
        EXPECT_TRUE(keys.insert(row_key(row)).second) << "two rows are " << row_key(row);
    for (const ListedException& exception : read_exceptions()) {
        EXPECT_TRUE(keys.count(exception.row)) << "listed but not in the reference: " << exception.row;
        EXPECT_TRUE(exception.check == "bandwidth" || exception.check == "memory_type" || exception.check == "mobile")
            << exception.check;
    }
}

TEST(ReferenceAdapters, MemoryTypeAndMobileFlagAgreeExceptListedRows) {
    ASSERT_TRUE(shipped_table().loaded());
    std::set<std::string> wrong_memory_type;
    std::set<std::string> wrong_mobile_flag;
    for (const ReferenceRow& row : reference().discrete) {
        const GpuInfo gpu = estimated(row.name, bytes_of(row.vram_gb));
        if (gpu.memory_type != row.memory_type) wrong_memory_type.insert(row_key(row));
        if (gpu.is_mobile != row.mobile) wrong_mobile_flag.insert(row_key(row));
    }
    EXPECT_EQ(wrong_memory_type, listed_rows("memory_type"));
    EXPECT_EQ(wrong_mobile_flag, listed_rows("mobile"));
}

TEST(ReferenceAdapters, BandwidthWithinFifteenPercentExceptListedRows) {
    ASSERT_TRUE(shipped_table().loaded());
    const std::vector<ReferenceRow>& rows = reference().discrete;
    std::set<std::string> outside;
    std::vector<double> errors;
    std::vector<double> errors_within;
    double worst = -1.0;
    std::string worst_row;
    for (const ReferenceRow& row : rows) {
        const double error = std::fabs(worst_relative_error(row.name, row.vram_gb, row.bandwidth_gbs));
        errors.push_back(error);
        if (error > kTolerance) {
            outside.insert(row_key(row));
        } else {
            errors_within.push_back(error);
        }
        if (error > worst) {
            worst = error;
            worst_row = row_key(row);
        }
    }
    EXPECT_EQ(outside, listed_rows("bandwidth"));

    const std::size_t within = rows.size() - outside.size();
    const std::size_t servable = rows_one_figure_per_name_can_serve(rows);
    std::sort(errors.begin(), errors.end());
    std::sort(errors_within.begin(), errors_within.end());
    std::printf("rows within 15%%: %zu of %zu (%.1f%%); %zu of the %zu that one figure per name can serve\n",
                within, rows.size(), 100.0 * static_cast<double>(within) / static_cast<double>(rows.size()),
                within, servable);
    std::printf("error, all rows: median %.1f%%, worst %.1f%% (%s)\n", 100.0 * errors[errors.size() / 2],
                100.0 * worst, worst_row.c_str());
    if (!errors_within.empty())
        std::printf("error, rows within 15%%: worst %.1f%%\n", 100.0 * errors_within.back());
    // Rows a single figure per name cannot serve are no fault of the table;
    // of the others at least 95% must be right.
    EXPECT_GE(static_cast<double>(within), 0.95 * static_cast<double>(servable));
}

TEST(ReferenceAdapters, IntegratedAdaptersGetNoBandwidth) {
    ASSERT_TRUE(shipped_table().loaded());
    // Carve-outs as small as a firmware default and as large as a BIOS allows.
    for (const std::string& name : reference().integrated)
        for (const double gib : {0.125, 0.5, 2.0, 16.0})
            EXPECT_EQ(estimated(name, bytes_of(gib)).memory_bandwidth_gbs, 0.0) << name << " at " << gib << " GiB";
}

}  // namespace
}  // namespace mrv::test
