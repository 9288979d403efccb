// A whole frame with the guide on, against the same frame with no path chosen
// (the copy the host needs anyway), against a bare memcpy of the same bytes. The
// three take turns within every iteration, on the same input and output worlds.
#include <cstring>

#include "bench_support.h"

namespace {

struct Size {
  A_long width, height;
};
constexpr Size SIZES[] = {{1920, 1080}, {3840, 2160}};
constexpr PF_PixelFormat FORMATS[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128};

std::unique_ptr<refhost::Host> FrameInstance(const Size& size, bool with_path) {
  auto host = bench::Instance(size.width, size.height);
  host->masks.Add(bench::MASK, true, bench::Ring(16, size.width / 2.0, size.height / 2.0, size.height / 3.0));
  host->params.SetValue(PARAM_PATH, with_path ? static_cast<double>(bench::MASK) : 0.0);
  host->params.SetValue(PARAM_OFFSET_ANGLE, 123.0);
  return host;
}

bool Render(refhost::Host& host, PF_PixelFormat format, refhost::World& input, refhost::World& output) {
  return refhost::RenderFrameInto(host, {0, format}, input, output).Result() == PF_Err_NONE;
}

void BM_Frame(benchmark::State& state) {
  const Size size = SIZES[state.range(0)];
  const PF_PixelFormat format = FORMATS[state.range(1)];
  auto effect = FrameInstance(size, true);
  auto copy_only = FrameInstance(size, false);
  auto input = effect->images.LayerWorld(format, {1, 1}, {1, 1}, 0);
  refhost::World output(size.width, size.height, format);
  const std::size_t bytes = static_cast<std::size_t>(input->Def().rowbytes) * size.height;

  // What is timed must be what it claims: the effect frame shows the guide, the
  // copy-only frame is the input unchanged.
  if (!Render(*effect, format, *input, output) || output.SamePixels(*input)) {
    state.SkipWithError("the effect frame shows no guide");
    return;
  }
  if (!Render(*copy_only, format, *input, output) || !output.SamePixels(*input)) {
    state.SkipWithError("the copy-only frame is not a copy");
    return;
  }

  bench::Samples effect_time, copy_time, memcpy_time;
  bool ok = true;
  int turn = 0;
  for (auto _ : state) {
    // Each in turn goes first, so none always finds the caches as another left them.
    for (int k = 0; k < 3; ++k) {
      switch ((turn + k) % 3) {
        case 0: effect_time.Time([&] { ok &= Render(*effect, format, *input, output); }); break;
        case 1: copy_time.Time([&] { ok &= Render(*copy_only, format, *input, output); }); break;
        default:
          memcpy_time.Time([&] {
            std::memcpy(output.Row(0), input->Row(0), bytes);
            benchmark::ClobberMemory();
          });
          break;
      }
    }
    ++turn;
  }
  if (!ok) state.SkipWithError("a frame failed");
  state.counters["effect_ms"] = effect_time.Median() * 1e3;
  state.counters["copy_only_ms"] = copy_time.Median() * 1e3;
  state.counters["memcpy_ms"] = memcpy_time.Median() * 1e3;
  state.counters["effect_per_copy_only"] = effect_time.MedianRatio(copy_time);
  state.counters["copy_only_per_memcpy"] = copy_time.MedianRatio(memcpy_time);
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// Arguments: size index (0: 1920x1080, 1: 3840x2160), format index (0: 8, 1: 16, 2: float).
void FrameArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"size", "depth"});
  for (int s = 0; s < 2; ++s) {
    for (int f = 0; f < 3; ++f) b->Args({s, f});
  }
  b->Unit(benchmark::kMillisecond)->MinTime(1.0);
}

BENCHMARK(BM_Frame)->Apply(FrameArgs);

}  // namespace
