// A whole bake, reported per step: 10 s and 10 min layers at 60 fps, on paths
// of 8, 64 and 512 segments. Per-step cost must not grow with the layer's length.
#include "bench_support.h"

namespace {

constexpr int SEGMENTS[] = {8, 64, 512};
constexpr A_long SECONDS[] = {10, 600};

void BM_BakePerStep(benchmark::State& state) {
  const int segments = SEGMENTS[state.range(0)];
  const A_long seconds = SECONDS[state.range(1)];
  auto host = bench::Instance(640, 360);
  host->masks.Add(bench::MASK, true, bench::Ring(segments, 320, 180, 150));
  host->params.SetValue(PARAM_PATH, static_cast<double>(bench::MASK));
  // The offset turns once over the layer, so the walk passes every segment count.
  host->params.AddKeyframe(PARAM_OFFSET_ANGLE, {0, 60}, refhost::OneDValue(0));
  host->params.AddKeyframe(PARAM_OFFSET_ANGLE, {seconds * 60, 60}, refhost::OneDValue(359));
  refhost::TimeSettings& time = host->Time();
  time.time_scale = 60;
  time.time_step = 1;
  time.total_time = seconds * 60;
  auto input = host->images.LayerWorld(PF_PixelFormat_ARGB32, {1, 1}, {1, 1}, 0);
  refhost::World output(640, 360, PF_PixelFormat_ARGB32);
  for (auto _ : state) {
    state.PauseTiming();
    host->params.SetValue(PARAM_BAKE, 2.0);
    state.ResumeTiming();
    refhost::FrameResult frame = refhost::RenderFrameInto(*host, {0, PF_PixelFormat_ARGB32}, *input, output);
    if (frame.Result() != PF_Err_NONE) state.SkipWithError("bake failed");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * time.total_time);
  state.counters["per_step_us"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * time.total_time,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}

void BakeArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"segments", "layer"});
  for (int s = 0; s < 3; ++s) {
    for (int l = 0; l < 2; ++l) b->Args({s, l});
  }
  b->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
}

BENCHMARK(BM_BakePerStep)->Apply(BakeArgs);

}  // namespace
