// One locate on paths of 1 to 512 segments, against the host work it cannot
// avoid: preparing, measuring and cleaning up each segment it passes, and the
// evaluation of the point on the last. The two take turns within every iteration,
// a batch of each at a time.
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
  // Enough calls per batch that the clock's own cost does not count.
  const int batch = std::max(4, 2048 / segments);
  bench::ScriptHost script;
  script.Host().masks.Add(bench::MASK, false, Wave(segments));
  bench::Samples locate_time, floor_time;
  int passed = 0;
  PF_Err err = PF_Err_NONE;
  script.Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data) {
    PathLocator locator;
    locator.Open(suites, in_data, out_data, bench::MASK, err);
    LocatedPoint point;
    refhost::FaultPlan& calls = script.Host().faults;
    const int before = calls.Seen("PF_PathPrepareSegLength");
    locator.Locate(fraction, point, err);
    passed = calls.Seen("PF_PathPrepareSegLength") - before;

    const PF_PathDataSuite1* data = suites.PathDataSuite();
    auto locate = [&] {
      for (int i = 0; i < batch; ++i) {
        locator.Locate(fraction, point, err);
        benchmark::DoNotOptimize(point);
      }
    };
    // The floor: the same segments prepared, measured and cleaned up by hand, and
    // the point evaluated halfway along the last.
    auto floor = [&] {
      PF_PathSegPrepPtr prep = nullptr;
      for (int i = 0; i < batch; ++i) {
        for (A_long s = 0; s < passed; ++s) {
          double length = 0;
          data->PF_PathPrepareSegLength(in_data->effect_ref, locator.path, s, SEGMENT_LENGTH_FREQUENCY, &prep);
          data->PF_PathGetSegLength(in_data->effect_ref, locator.path, s, &prep, &length);
          if (s + 1 == passed) {
            double xy[4];
            data->PF_PathEvalSegLengthDeriv1(in_data->effect_ref, locator.path, &prep, s, length / 2, &xy[0],
                                             &xy[1], &xy[2], &xy[3]);
            benchmark::DoNotOptimize(xy);
          }
          data->PF_PathCleanupSegLength(in_data->effect_ref, locator.path, s, &prep);
          benchmark::DoNotOptimize(length);
        }
      }
    };
    bool locate_first = true;
    for (auto _ : state) {
      if (locate_first) {
        locate_time.Time(locate, batch);
        floor_time.Time(floor, batch);
      } else {
        floor_time.Time(floor, batch);
        locate_time.Time(locate, batch);
      }
      locate_first = !locate_first;
    }
    locator.Close(err);
  });
  if (err != PF_Err_NONE) state.SkipWithError("locate failed");
  state.counters["segments_passed"] = passed;
  state.counters["locate_us"] = locate_time.Median() * 1e6;
  state.counters["floor_us"] = floor_time.Median() * 1e6;
  state.counters["locate_per_floor"] = locate_time.MedianRatio(floor_time);
}

void LocateArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"segments", "fraction"});
  for (int s = 0; s < 4; ++s) {
    for (int f = 0; f < 3; ++f) b->Args({s, f});
  }
  b->Unit(benchmark::kMicrosecond)->MinTime(0.2);
}

BENCHMARK(BM_Locate)->Apply(LocateArgs);

}  // namespace
