// Whole bakes, reported per step: a 10 min layer at 60 fps against sixty bakes of
// a 10 s layer (as many steps), taking turns, on paths of 8, 64 and 512 segments.
// The per-step cost must not grow with the layer's length (linear in steps), and
// the cost per segment passed must not grow with the path (linear in segments).
#include "bench_support.h"

namespace {

constexpr int SEGMENTS[] = {8, 64, 512};
constexpr A_long FPS = 60;
constexpr A_long SHORT_SECONDS = 10;
constexpr A_long LONG_SECONDS = 600;

std::unique_ptr<refhost::Host> BakeInstance(int segments, A_long seconds) {
  auto host = bench::Instance(640, 360);
  host->masks.Add(bench::MASK, true, bench::Ring(segments, 320, 180, 150));
  host->params.SetValue(PARAM_PATH, static_cast<double>(bench::MASK));
  // The offset turns once over the layer, so the walk passes every segment count.
  host->params.AddKeyframe(PARAM_OFFSET_ANGLE, {0, FPS}, refhost::OneDValue(0));
  host->params.AddKeyframe(PARAM_OFFSET_ANGLE, {seconds * FPS, FPS}, refhost::OneDValue(359));
  refhost::TimeSettings& time = host->Time();
  time.time_scale = FPS;
  time.time_step = 1;
  time.total_time = seconds * FPS;
  return host;
}

// Fills the caches with other memory, as the frames a session renders between
// bakes would: otherwise each of the sixty 10 s bakes would find the previous
// one's keyframes and host records still cached, and the 10 min bake, too large
// for the caches, would look slower per step for that alone.
void EvictCaches() {
  static std::vector<unsigned char> other(64u << 20);
  for (std::size_t i = 0; i < other.size(); i += 64) other[i] = static_cast<unsigned char>(other[i] + 1);
  benchmark::ClobberMemory();
}

struct Baker {
  std::unique_ptr<refhost::Host> host;
  std::unique_ptr<refhost::World> input;
  refhost::World output{640, 360, PF_PixelFormat_ARGB32};
  std::int64_t module_allocations = 0;
  long long segments_passed = 0;
  long long steps = 0;
  bool ok = true;

  Baker(int segments, A_long seconds)
      : host(BakeInstance(segments, seconds)),
        input(host->images.LayerWorld(PF_PixelFormat_ARGB32, {1, 1}, {1, 1}, 0)) {}

  // Every bake starts from the same state: Point and Angle without keyframes, and
  // nothing of the last bake in the caches.
  void Prepare() {
    host->params.SetKeyframes(PARAM_POINT, {});
    host->params.SetKeyframes(PARAM_ANGLE, {});
    host->params.SetValue(PARAM_BAKE, 2.0);
    EvictCaches();
  }
  void Bake() {
    const std::int64_t allocations = bench::ModuleAllocations();
    const int prepared = host->faults.Seen("PF_PathPrepareSegLength");
    ok &= refhost::RenderFrameInto(*host, {0, PF_PixelFormat_ARGB32}, *input, output).Result() == PF_Err_NONE;
    module_allocations += bench::ModuleAllocations() - allocations;
    segments_passed += host->faults.Seen("PF_PathPrepareSegLength") - prepared;
    steps += host->Time().total_time;
  }
  // A keyframe for every step, on Point as on Angle.
  bool Baked() const {
    const auto expected = static_cast<std::size_t>(host->Time().total_time);
    return host->params.Keyframes(PARAM_POINT).size() == expected && host->params.Keyframes(PARAM_ANGLE).size() == expected;
  }
};

void BM_Bake(benchmark::State& state) {
  const int segments = SEGMENTS[state.range(0)];
  Baker long_layer(segments, LONG_SECONDS);
  Baker short_layer(segments, SHORT_SECONDS);
  constexpr int SHORT_BAKES = LONG_SECONDS / SHORT_SECONDS;
  bench::Samples long_time, short_time;
  std::vector<double> long_per_short;  // in each iteration, the long bake over the short ones' median
  for (auto _ : state) {
    long_layer.Prepare();
    long_time.Time([&] { long_layer.Bake(); }, LONG_SECONDS * FPS);
    bench::Samples turn;
    for (int i = 0; i < SHORT_BAKES; ++i) {
      short_layer.Prepare();
      turn.Time([&] { short_layer.Bake(); }, SHORT_SECONDS * FPS);
    }
    short_time.Add(turn.Median());
    long_per_short.push_back(long_time.Last() / turn.Median());
  }
  if (!long_layer.ok || !short_layer.ok || !long_layer.Baked() || !short_layer.Baked()) {
    state.SkipWithError("a bake failed or left a keyframe per step missing");
  }
  const double long_step = long_time.Median();
  const double short_step = short_time.Median();
  const double passed_per_step = static_cast<double>(long_layer.segments_passed + short_layer.segments_passed) /
                                 static_cast<double>(long_layer.steps + short_layer.steps);
  state.counters["per_step_10s_us"] = short_step * 1e6;
  state.counters["per_step_10min_us"] = long_step * 1e6;
  state.counters["per_step_10min_per_10s"] = bench::Samples::MedianOf(long_per_short);
  state.counters["segments_passed_per_step"] = passed_per_step;
  state.counters["module_allocations"] =
      static_cast<double>(long_layer.module_allocations + short_layer.module_allocations);
}

// Three turns each: the median of three long bakes is not one bake's bad luck.
BENCHMARK(BM_Bake)->ArgName("segments")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace
