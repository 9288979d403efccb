// The reference host's own share: copy and fill at each depth against memcpy and
// memset, and one segment preparation at frequency 100.
#include <cstring>

#include "bench_support.h"
#include "path/path_locator.h"  // SEGMENT_LENGTH_FREQUENCY

namespace {

constexpr PF_PixelFormat FORMATS[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128};
constexpr A_long W = 1920, H = 1080;

// The host's copy and fill against memcpy and memset of the same worlds, taking
// turns within every iteration.
void BM_HostCopyFill(benchmark::State& state) {
  const PF_PixelFormat format = FORMATS[state.range(0)];
  bench::ScriptHost script;
  refhost::World in(W, H, format), out(W, H, format);
  const std::size_t bytes = static_cast<std::size_t>(in.Def().rowbytes) * H;
  std::memset(in.Row(0), 0x5A, bytes);  // pages of its own, not the shared zero page
  script.Host().images.Lend(in);
  script.Host().images.Lend(out);
  bench::Samples copy_time, memcpy_time, fill_time, memset_time;
  bool ok = true;
  script.Run([&](SuiteCache&, PF_InData* in_data, PF_OutData*) {
    const PF_Pixel transparent = {0, 0, 0, 0};
    int turn = 0;
    for (auto _ : state) {
      for (int k = 0; k < 4; ++k) {
        switch ((turn + k) % 4) {
          case 0:
            copy_time.Time([&] {
              ok &= in_data->utils->copy(in_data->effect_ref, &in.Def(), &out.Def(), nullptr, nullptr) ==
                    PF_Err_NONE;
              benchmark::ClobberMemory();
            });
            break;
          case 1:
            memcpy_time.Time([&] {
              std::memcpy(out.Row(0), in.Row(0), bytes);
              benchmark::ClobberMemory();
            });
            break;
          case 2:
            fill_time.Time([&] {
              ok &= in_data->utils->fill(in_data->effect_ref, &transparent, nullptr, &out.Def()) == PF_Err_NONE;
              benchmark::ClobberMemory();
            });
            break;
          default:
            memset_time.Time([&] {
              std::memset(out.Row(0), 0, bytes);
              benchmark::ClobberMemory();
            });
            break;
        }
      }
      ++turn;
    }
  });
  if (!ok) state.SkipWithError("a host call failed");
  state.counters["copy_ms"] = copy_time.Median() * 1e3;
  state.counters["memcpy_ms"] = memcpy_time.Median() * 1e3;
  state.counters["fill_ms"] = fill_time.Median() * 1e3;
  state.counters["memset_ms"] = memset_time.Median() * 1e3;
  state.counters["copy_per_memcpy"] = copy_time.MedianRatio(memcpy_time);
  state.counters["fill_per_memset"] = fill_time.MedianRatio(memset_time);
}

// One segment preparation at frequency 100 and its clean-up: with the host's
// samples forgotten (they are taken), and one again (they are kept).
void BM_SegmentPreparation(benchmark::State& state) {
  constexpr int SEGMENTS = 64;
  const bool again = state.range(0) != 0;
  bench::ScriptHost script;
  script.Host().masks.Add(bench::MASK, true, bench::Ring(SEGMENTS, 100, 100, 50));
  bench::Samples prep_time;
  bool ok = true;
  script.Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData*) {
    const PF_PathQuerySuite1* query = suites.PathQuerySuite();
    const PF_PathDataSuite1* data = suites.PathDataSuite();
    PF_ProgPtr ref = in_data->effect_ref;
    auto prepare_all = [&](PF_PathOutlinePtr path) {
      for (A_long i = 0; i < SEGMENTS; ++i) {
        PF_PathSegPrepPtr prep = nullptr;
        ok &= data->PF_PathPrepareSegLength(ref, path, i, SEGMENT_LENGTH_FREQUENCY, &prep) == PF_Err_NONE;
        ok &= data->PF_PathCleanupSegLength(ref, path, i, &prep) == PF_Err_NONE;
      }
    };
    for (auto _ : state) {
      PF_PathOutlinePtr path = nullptr;
      if (!again) script.Host().masks.ForgetSamples();
      ok &= query->PF_CheckoutPath(ref, bench::MASK, 0, 1, 1, &path) == PF_Err_NONE;
      if (again) prepare_all(path);
      prep_time.Time([&] { prepare_all(path); }, SEGMENTS);
      ok &= query->PF_CheckinPath(ref, bench::MASK, false, path) == PF_Err_NONE;
    }
  });
  if (!ok) state.SkipWithError("a host call failed");
  state.counters["prep_us"] = prep_time.Median() * 1e6;
}

BENCHMARK(BM_HostCopyFill)->ArgName("depth")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_SegmentPreparation)->ArgName("again")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
