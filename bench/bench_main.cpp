// Runs the benchmarks, then prints the figures that matter side by side: each
// measured cost over the cost it is bounded by, with the goal beside it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      times[run.benchmark_name()] = run.GetAdjustedRealTime();
      for (const auto& [name, counter] : run.counters) counters[run.benchmark_name() + "/" + name] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
  std::map<std::string, double> counters;
};

void Ratio(const CollectingReporter& r, const char* what, const std::string& a, const std::string& b,
           const char* goal) {
  auto ia = r.times.find(a), ib = r.times.find(b);
  if (ia == r.times.end() || ib == r.times.end() || ib->second == 0) return;
  std::printf("  %-48s %7.3f   %s\n", what, ia->second / ib->second, goal);
}

void CounterRatio(const CollectingReporter& r, const char* what, const std::string& a, const std::string& b,
                  const char* goal) {
  auto ia = r.counters.find(a), ib = r.counters.find(b);
  if (ia == r.counters.end() || ib == r.counters.end() || ib->second == 0) return;
  std::printf("  %-48s %7.3f   %s\n", what, ia->second / ib->second, goal);
}

void PrintFigures(const CollectingReporter& r) {
  const char* sizes[] = {"1920x1080", "3840x2160"};
  const char* depths[] = {"8-bit", "16-bit", "float"};
  std::printf("\nFigures (ratio, goal)\n");
  for (int s = 0; s < 2; ++s) {
    for (int d = 0; d < 3; ++d) {
      const std::string args = "/size:" + std::to_string(s) + "/depth:" + std::to_string(d) + "/real_time";
      const std::string label = std::string(sizes[s]) + " " + depths[d];
      Ratio(r, ("frame effect / copy-only, " + label).c_str(), "BM_FrameEffect" + args, "BM_FrameCopyOnly" + args,
            "<= 1.05");
      Ratio(r, ("frame copy-only / memcpy, " + label).c_str(), "BM_FrameCopyOnly" + args, "BM_FrameMemcpy" + args,
            "(host's frame overhead)");
    }
  }
  for (int d = 0; d < 3; ++d) {
    const std::string args = "/depth:" + std::to_string(d) + "/real_time";
    Ratio(r, (std::string("host copy / memcpy, ") + depths[d]).c_str(), "BM_HostCopy" + args, "BM_Memcpy" + args,
          "<= 1.5");
    Ratio(r, (std::string("host fill / memset, ") + depths[d]).c_str(), "BM_HostFill" + args, "BM_Memset" + args,
          "(for reference)");
  }
  const char* segments[] = {"8", "64", "512"};
  for (int s = 0; s < 3; ++s) {
    const std::string base = "BM_BakePerStep/segments:" + std::to_string(s);
    CounterRatio(r, (std::string("bake per step, 10 min / 10 s, ") + segments[s] + " segments").c_str(),
                 base + "/layer:1/iterations:1/real_time/per_step_us",
                 base + "/layer:0/iterations:1/real_time/per_step_us", "~1.0 (flat)");
  }
  const char* paths[] = {"1", "8", "64", "512"};
  for (int s = 0; s < 4; ++s) {
    const std::string args = "/segments:" + std::to_string(s) + "/fraction:1";
    Ratio(r, (std::string("locate at 0.5 / host floor, ") + paths[s] + " segments").c_str(), "BM_Locate" + args,
          "BM_LocateHostFloor" + args, "(plug-in's share)");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintFigures(reporter);
  benchmark::Shutdown();
  return 0;
}
