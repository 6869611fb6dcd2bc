// What one capabilities request costs, on machines built in code:
//   request/lean/M          the whole pipeline on LeanPlatform (library work + a near-free fake)
//   platform_calls/lean/M   the same platform calls alone on LeanPlatform (the fake's share)
//   request/recording/M     the pipeline on ProfilePlatform, which records every call (for comparison)
//   stage/<step>/M          one step of the pipeline, to show where the library's time goes
// The library's own work per request is request/lean minus platform_calls/lean.
// Every benchmark reports allocations per request ("allocs").
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "allocation_counter.h"
#include "assessment/capabilities_assessment.h"
#include "boundary/request.h"
#include "boundary/snapshot.h"
#include "document/capabilities_document.h"
#include "lean_platform.h"
#include "load_time_state.h"
#include "machine_profiles/profile_platform.h"
#include "platform_calls.h"
#include "probes/cpu_probe.h"
#include "probes/gpu_enumeration.h"
#include "probes/memory_probe.h"
#include "probes/storage_probe.h"
#include "sample_machines.h"

namespace mrv::bench {
namespace {

void report_allocations(benchmark::State& state, std::uint64_t allocations) {
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

// Repeats one piece of work on a lean platform that is set up once.
void run_on_lean(benchmark::State& state, const MachineProfile& profile,
                 const std::function<void(LeanPlatform&, const NvmlBinding&)>& work) {
    LeanPlatform platform{profile};
    const NvmlBinding nvml = open_nvml_binding(platform);
    const std::uint64_t before = allocation_count();
    for (auto _ : state) work(platform, nvml);
    report_allocations(state, allocation_count() - before);
}

void request_on_lean(benchmark::State& state, const MachineProfile& profile) {
    std::size_t document_bytes = 0;
    run_on_lean(state, profile, [&](LeanPlatform& platform, const NvmlBinding& nvml) {
        const std::string document = collect_capabilities_document({platform, nvml, benchmark_estimator()});
        document_bytes = document.size();
        benchmark::DoNotOptimize(document.data());
    });
    state.counters["document_bytes"] = static_cast<double>(document_bytes);
}

void platform_calls_on_lean(benchmark::State& state, const MachineProfile& profile) {
    run_on_lean(state, profile, [](LeanPlatform& platform, const NvmlBinding& nvml) {
        make_request_platform_calls(platform, nvml);
        benchmark::ClobberMemory();
    });
}

// A fresh ProfilePlatform per request, as its call log and ledger only grow;
// setting it up is left out of both the time and the allocation count.
void request_on_recording(benchmark::State& state, const MachineProfile& profile) {
    std::optional<ProfilePlatform> platform;
    std::uint64_t untimed = 0;
    const std::uint64_t before = allocation_count();
    for (auto _ : state) {
        state.PauseTiming();
        const std::uint64_t setup_start = allocation_count();
        platform.emplace(profile);
        const NvmlBinding nvml = open_nvml_binding(*platform);
        untimed += allocation_count() - setup_start;
        state.ResumeTiming();
        const std::string document = collect_capabilities_document({*platform, nvml, benchmark_estimator()});
        benchmark::DoNotOptimize(document.data());
    }
    report_allocations(state, allocation_count() - before - untimed);
}

SystemSnapshot collected_snapshot(const MachineProfile& profile) {
    LeanPlatform platform{profile};
    const NvmlBinding nvml = open_nvml_binding(platform);
    SystemSnapshot snapshot;
    probe_cpu(platform, snapshot.cpu);
    probe_memory(platform, snapshot.memory);
    enumerate_gpus(platform, nvml, benchmark_estimator(), snapshot.gpus);
    probe_storage(platform, snapshot.storage);
    assess_capabilities(snapshot);
    return snapshot;
}

void stage_probe_cpu(benchmark::State& state, const MachineProfile& profile) {
    run_on_lean(state, profile, [](LeanPlatform& platform, const NvmlBinding&) {
        CpuInfo cpu;
        probe_cpu(platform, cpu);
        benchmark::DoNotOptimize(cpu);
    });
}

void stage_enumerate_gpus(benchmark::State& state, const MachineProfile& profile) {
    run_on_lean(state, profile, [](LeanPlatform& platform, const NvmlBinding& nvml) {
        std::vector<GpuInfo> gpus;
        enumerate_gpus(platform, nvml, benchmark_estimator(), gpus);
        benchmark::DoNotOptimize(gpus.data());
    });
}

void stage_probe_storage(benchmark::State& state, const MachineProfile& profile) {
    run_on_lean(state, profile, [](LeanPlatform& platform, const NvmlBinding&) {
        std::vector<DriveInfo> drives;
        probe_storage(platform, drives);
        benchmark::DoNotOptimize(drives.data());
    });
}

// The assessment resets what it writes, so it can run on the same snapshot again.
void stage_assessment(benchmark::State& state, const MachineProfile& profile) {
    SystemSnapshot snapshot = collected_snapshot(profile);
    const std::uint64_t before = allocation_count();
    for (auto _ : state) {
        assess_capabilities(snapshot);
        benchmark::DoNotOptimize(snapshot);
    }
    report_allocations(state, allocation_count() - before);
}

void stage_document(benchmark::State& state, const MachineProfile& profile) {
    const SystemSnapshot snapshot = collected_snapshot(profile);
    const std::uint64_t before = allocation_count();
    for (auto _ : state) {
        const std::string document = build_capabilities_json(snapshot);
        benchmark::DoNotOptimize(document.data());
    }
    report_allocations(state, allocation_count() - before);
}

// The lean platform must stand for the recording one: same machine, same document.
bool lean_matches_recording(const SampleMachine& machine) {
    ProfilePlatform recording{machine.profile};
    const NvmlBinding recording_nvml = open_nvml_binding(recording);
    const std::string expected = collect_capabilities_document({recording, recording_nvml, benchmark_estimator()});
    LeanPlatform lean{machine.profile};
    const NvmlBinding lean_nvml = open_nvml_binding(lean);
    const std::string actual = collect_capabilities_document({lean, lean_nvml, benchmark_estimator()});
    if (actual == expected && recording.violations().empty()) return true;
    std::fprintf(stderr, "request_benchmark: the lean platform answers %s differently\n  recording: %s\n  lean:      %s\n",
                 machine.name.c_str(), expected.c_str(), actual.c_str());
    return false;
}

}  // namespace
}  // namespace mrv::bench

int main(int argc, char** argv) {
    using namespace mrv::bench;
    static const std::vector<SampleMachine> machines = sample_machines();
    for (const SampleMachine& machine : machines)
        if (!lean_matches_recording(machine)) return 1;

    using Body = void (*)(benchmark::State&, const mrv::MachineProfile&);
    const std::pair<const char*, Body> benchmarks[] = {
        {"request/lean/", request_on_lean},
        {"platform_calls/lean/", platform_calls_on_lean},
        {"request/recording/", request_on_recording},
        {"stage/probe_cpu/", stage_probe_cpu},
        {"stage/enumerate_gpus/", stage_enumerate_gpus},
        {"stage/probe_storage/", stage_probe_storage},
        {"stage/assessment/", stage_assessment},
        {"stage/document/", stage_document},
    };
    for (const auto& [prefix, body] : benchmarks)
        for (const SampleMachine& machine : machines)
            benchmark::RegisterBenchmark((prefix + machine.name).c_str(), body, machine.profile)
                ->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("architecture tables", estimator_source());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
