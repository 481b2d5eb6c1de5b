#pragma once

#include <benchmark/benchmark.h>

// Runs the registered benchmarks with Google Benchmark's own options; the caller
// has made the Qt application object that the benchmarks need.
inline int runBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
