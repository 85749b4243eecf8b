// The mesh operations take and return whole records, so copying one record by value is
// their floor. Run with
//   mesh_bench --benchmark_repetitions=20 --benchmark_report_aggregates_only=true
// and compare the medians with CopyRecord's.
#include <benchmark/benchmark.h>

#include "mesh/mesh.h"

namespace {

GridMesh gFlat = meshMakeFlatGrid(50);
GridMesh gDeformed = meshDeform(meshMakeFlatGrid(50));

void CopyRecord(benchmark::State& state) {
    for (auto _ : state) {
        GridMesh copy = gFlat;
        benchmark::DoNotOptimize(copy);
        benchmark::ClobberMemory();
    }
}

// A record taken and returned by value, as every operation does: two copies.
[[gnu::noinline]] GridMesh passThrough(GridMesh mesh) { return mesh; }

void PassRecordThrough(benchmark::State& state) {
    for (auto _ : state) {
        GridMesh result = passThrough(gFlat);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
}

// Every call at a new phase, as an animation would run it.
void MeshDeform(benchmark::State& state) {
    float phase = 0.0f;
    for (auto _ : state) {
        gWavePhase = phase;
        phase = phase < 6.28f ? phase + 0.01f : 0.0f;
        GridMesh result = meshDeform(gFlat);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
    gWavePhase = 0.0f;
}

void MeshComputeNormals(benchmark::State& state) {
    for (auto _ : state) {
        GridMesh result = meshComputeNormals(gDeformed);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
}

void MeshMakeFlatGrid(benchmark::State& state) {
    for (auto _ : state) {
        GridMesh result = meshMakeFlatGrid(50);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(CopyRecord);
BENCHMARK(PassRecordThrough);
BENCHMARK(MeshDeform);
BENCHMARK(MeshComputeNormals);
BENCHMARK(MeshMakeFlatGrid);
