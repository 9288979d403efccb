// One locate on paths of 1 to 512 segments, against the host work it cannot
// avoid: preparing, measuring and cleaning up each segment it passes.
#include "bench_support.h"
#include "path/path_locator.h"

namespace {

constexpr int SEGMENTS[] = {1, 8, 64, 512};
constexpr double FRACTIONS[] = {0.1, 0.5, 0.9};

// An open wave of `segments` curved segments.
std::vector<refhost::PathVertex> Wave(int segments) {
  std::vector<refhost::PathVertex> vertices;
  for (int i = 0; i <= segments; ++i) {
    const double y = (i % 2 == 0) ? 100.0 : 300.0;
    vertices.push_back({{20.0 + i * 10.0, y}, {-4, 0}, {4, 0}});
  }
  return vertices;
}

void BM_Locate(benchmark::State& state) {
  const int segments = SEGMENTS[state.range(0)];
  const double fraction = FRACTIONS[state.range(1)];
  bench::ScriptHost script;
  script.Host().masks.Add(bench::MASK, false, Wave(segments));
  script.Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data) {
    PF_Err err = PF_Err_NONE;
    PathLocator locator;
    locator.Open(suites, in_data, out_data, bench::MASK, err);
    LocatedPoint point;
    const int before = script.Host().faults.Seen("PF_PathPrepareSegLength");
    for (auto _ : state) {
      locator.Locate(fraction, point, err);
      benchmark::DoNotOptimize(point);
    }
    state.counters["segments_passed"] = benchmark::Counter(
        script.Host().faults.Seen("PF_PathPrepareSegLength") - before, benchmark::Counter::kAvgIterations);
    locator.Close(err);
    if (err != PF_Err_NONE) state.SkipWithError("locate failed");
  });
}

// The floor: the same segments prepared, measured and cleaned up by hand.
void BM_LocateHostFloor(benchmark::State& state) {
  const int segments = SEGMENTS[state.range(0)];
  const double fraction = FRACTIONS[state.range(1)];
  bench::ScriptHost script;
  script.Host().masks.Add(bench::MASK, false, Wave(segments));
  script.Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data) {
    PF_Err err = PF_Err_NONE;
    PathLocator locator;
    locator.Open(suites, in_data, out_data, bench::MASK, err);
    LocatedPoint point;
    const int before = script.Host().faults.Seen("PF_PathPrepareSegLength");
    locator.Locate(fraction, point, err);
    const int passed = script.Host().faults.Seen("PF_PathPrepareSegLength") - before;
    const PF_PathDataSuite1* data = suites.PathDataSuite();
    PF_PathSegPrepPtr prep = nullptr;
    for (auto _ : state) {
      for (A_long i = 0; i < passed; ++i) {
        double length = 0;
        data->PF_PathPrepareSegLength(in_data->effect_ref, locator.path, i, SEGMENT_LENGTH_FREQUENCY, &prep);
        data->PF_PathGetSegLength(in_data->effect_ref, locator.path, i, &prep, &length);
        data->PF_PathCleanupSegLength(in_data->effect_ref, locator.path, i, &prep);
        benchmark::DoNotOptimize(length);
      }
    }
    locator.Close(err);
  });
}

void LocateArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"segments", "fraction"});
  for (int s = 0; s < 4; ++s) {
    for (int f = 0; f < 3; ++f) b->Args({s, f});
  }
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Locate)->Apply(LocateArgs);
BENCHMARK(BM_LocateHostFloor)->Apply(LocateArgs);

}  // namespace
