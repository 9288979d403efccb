// The reference host's own share: copy and fill at each depth against memcpy and
// memset, and one segment preparation at frequency 100.
#include <cstring>

#include "bench_support.h"
#include "path/path_locator.h"

namespace {

constexpr PF_PixelFormat FORMATS[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128};
constexpr A_long W = 1920, H = 1080;

void BM_HostCopy(benchmark::State& state) {
  const PF_PixelFormat format = FORMATS[state.range(0)];
  bench::ScriptHost script;
  refhost::World in(W, H, format), out(W, H, format);
  script.Host().images.Lend(in);
  script.Host().images.Lend(out);
  script.Run([&](SuiteCache&, PF_InData* in_data, PF_OutData*) {
    for (auto _ : state) {
      in_data->utils->copy(in_data->effect_ref, &in.Def(), &out.Def(), nullptr, nullptr);
      benchmark::ClobberMemory();
    }
  });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * in.Def().rowbytes * H);
}

void BM_HostFill(benchmark::State& state) {
  const PF_PixelFormat format = FORMATS[state.range(0)];
  bench::ScriptHost script;
  refhost::World out(W, H, format);
  script.Host().images.Lend(out);
  script.Run([&](SuiteCache&, PF_InData* in_data, PF_OutData*) {
    const PF_Pixel transparent = {0, 0, 0, 0};
    for (auto _ : state) {
      in_data->utils->fill(in_data->effect_ref, &transparent, nullptr, &out.Def());
      benchmark::ClobberMemory();
    }
  });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * out.Def().rowbytes * H);
}

void BM_Memcpy(benchmark::State& state) {
  const PF_PixelFormat format = FORMATS[state.range(0)];
  refhost::World in(W, H, format), out(W, H, format);
  const std::size_t bytes = static_cast<std::size_t>(in.Def().rowbytes) * H;
  for (auto _ : state) {
    std::memcpy(out.Row(0), in.Row(0), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_Memset(benchmark::State& state) {
  const PF_PixelFormat format = FORMATS[state.range(0)];
  refhost::World out(W, H, format);
  const std::size_t bytes = static_cast<std::size_t>(out.Def().rowbytes) * H;
  for (auto _ : state) {
    std::memset(out.Row(0), 0, bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_SegmentPreparation(benchmark::State& state) {
  bench::ScriptHost script;
  script.Host().masks.Add(bench::MASK, true, bench::Ring(4, 100, 100, 50));
  script.Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data) {
    PF_Err err = PF_Err_NONE;
    PathLocator locator;
    locator.Open(suites, in_data, out_data, bench::MASK, err);
    const PF_PathDataSuite1* data = suites.PathDataSuite();
    PF_PathSegPrepPtr prep = nullptr;
    for (auto _ : state) {
      data->PF_PathPrepareSegLength(in_data->effect_ref, locator.path, 0, SEGMENT_LENGTH_FREQUENCY, &prep);
      data->PF_PathCleanupSegLength(in_data->effect_ref, locator.path, 0, &prep);
    }
    locator.Close(err);
  });
}

void DepthArgs(benchmark::internal::Benchmark* b) {
  b->ArgName("depth")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_HostCopy)->Apply(DepthArgs);
BENCHMARK(BM_Memcpy)->Apply(DepthArgs);
BENCHMARK(BM_HostFill)->Apply(DepthArgs);
BENCHMARK(BM_Memset)->Apply(DepthArgs);
BENCHMARK(BM_SegmentPreparation)->Unit(benchmark::kMicrosecond);

}  // namespace
