// A whole frame with the guide on, against the same frame with no path chosen
// (the copy the host needs anyway), against a bare memcpy of the same bytes.
#include <cstring>

#include "bench_support.h"

namespace {

struct Size {
  A_long width, height;
};
constexpr Size SIZES[] = {{1920, 1080}, {3840, 2160}};
constexpr PF_PixelFormat FORMATS[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128};

void Frame(benchmark::State& state, bool with_path) {
  const Size size = SIZES[state.range(0)];
  const PF_PixelFormat format = FORMATS[state.range(1)];
  auto host = bench::Instance(size.width, size.height);
  host->masks.Add(bench::MASK, true, bench::Ring(16, size.width / 2.0, size.height / 2.0, size.height / 3.0));
  host->params.SetValue(PARAM_PATH, with_path ? static_cast<double>(bench::MASK) : 0.0);
  host->params.SetValue(PARAM_OFFSET_ANGLE, 123.0);
  auto input = host->images.LayerWorld(format, {1, 1}, {1, 1}, 0);
  refhost::World output(size.width, size.height, format);
  const refhost::FrameRequest request{0, format};
  for (auto _ : state) {
    refhost::FrameResult frame = refhost::RenderFrameInto(*host, request, *input, output);
    if (frame.Result() != PF_Err_NONE) state.SkipWithError("frame failed");
    benchmark::DoNotOptimize(output.Row(0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input->Def().rowbytes * size.height);
}

void BM_FrameEffect(benchmark::State& state) { Frame(state, true); }
void BM_FrameCopyOnly(benchmark::State& state) { Frame(state, false); }

void BM_FrameMemcpy(benchmark::State& state) {
  const Size size = SIZES[state.range(0)];
  const PF_PixelFormat format = FORMATS[state.range(1)];
  refhost::World input(size.width, size.height, format);
  refhost::World output(size.width, size.height, format);
  const std::size_t bytes = static_cast<std::size_t>(input.Def().rowbytes) * size.height;
  for (auto _ : state) {
    std::memcpy(output.Row(0), input.Row(0), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Arguments: size index (0: 1920x1080, 1: 3840x2160), format index (0: 8, 1: 16, 2: float).
void FrameArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"size", "depth"});
  for (int s = 0; s < 2; ++s) {
    for (int f = 0; f < 3; ++f) b->Args({s, f});
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_FrameEffect)->Apply(FrameArgs);
BENCHMARK(BM_FrameCopyOnly)->Apply(FrameArgs);
BENCHMARK(BM_FrameMemcpy)->Apply(FrameArgs);

}  // namespace
