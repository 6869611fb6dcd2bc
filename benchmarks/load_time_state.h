// What the library sets up when it is loaded, for the benchmarks: the
// architecture tables of data/gpu_architectures.json when the checkout has
// them, otherwise a small table in code, so that the estimator always has
// patterns to search.
#pragma once

#include <string>

#include "probes/gpu_bandwidth_estimator.h"

namespace mrv::bench {

const GpuBandwidthEstimator& benchmark_estimator();
// Where the estimator's tables came from, for the report.
const std::string& estimator_source();

}  // namespace mrv::bench
