// Runs the benchmarks, then prints the figures that matter side by side: each
// measured cost over the cost it is bounded by, with its goal and whether the goal
// is met. Every figure comes from one benchmark in which the compared things took
// turns (see bench_support.h); with --benchmark_repetitions the medians are used.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bench_support.h"
#include "refhost/serve.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

// ---- Heap allocations by the module's own code ----
// Every operator new of the process passes here; one made while the module's code
// runs inside a command (and not inside a host callback) is the module's.

namespace {
std::atomic<std::int64_t> module_allocations{0};

void* Allocate(std::size_t size) {
  if (refhost::ModuleCodeRunning()) module_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

std::int64_t bench::ModuleAllocations() { return module_allocations.load(std::memory_order_relaxed); }

namespace {

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      // By function and arguments alone: settings such as a minimum time are no
      // part of what the figures look for.
      const std::string& args = run.run_name.args;
      const std::string name = run.run_name.function_name + (args.empty() ? "" : "/" + args);
      // A median of repetitions stands for the runs it sums up.
      if (!median && medians_.count(name) != 0) continue;
      if (median) medians_.insert(name);
      for (const auto& [counter, value] : run.counters) counters[name + "/" + counter] = value.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::optional<double> Counter(const std::string& name) const {
    auto it = counters.find(name);
    if (it == counters.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::string, double> counters;

 private:
  std::set<std::string> medians_;
};

enum class Goal { AT_MOST, WITHIN, NONE };

// WITHIN: between 1 / limit and limit.
void Row(const std::string& what, std::optional<double> value, const char* unit, Goal goal, double limit,
         const char* goal_text) {
  if (!value) return;
  const char* status = "";
  if (goal == Goal::AT_MOST) status = *value <= limit ? "met" : "MISSED";
  if (goal == Goal::WITHIN) status = *value <= limit && *value >= 1.0 / limit ? "met" : "MISSED";
  std::printf("  %-52s %9.3f %-3s  %-34s %s\n", what.c_str(), *value, unit, goal_text, status);
}

void PrintFigures(const CollectingReporter& r) {
  const char* sizes[] = {"1920x1080", "3840x2160"};
  const char* depths[] = {"8-bit", "16-bit", "float"};
  std::printf("\nFigures (thread CPU time; ratios are medians of ratios within an iteration)\n");
  std::printf("  %-52s %13s  %-34s %s\n", "figure", "value", "goal", "status");
  for (int s = 0; s < 2; ++s) {
    for (int d = 0; d < 3; ++d) {
      const std::string base = "BM_Frame/size:" + std::to_string(s) + "/depth:" + std::to_string(d) + "/";
      const std::string label = std::string(sizes[s]) + " " + depths[d];
      Row("frame effect / copy-only, " + label, r.Counter(base + "effect_per_copy_only"), "x",
          Goal::AT_MOST, 1.05, "<= 1.05");
      Row("frame copy-only / memcpy, " + label, r.Counter(base + "copy_only_per_memcpy"), "x",
          Goal::NONE, 0, "(the host's frame, for reference)");
    }
  }
  for (int d = 0; d < 3; ++d) {
    const std::string base = "BM_HostCopyFill/depth:" + std::to_string(d) + "/";
    Row(std::string("host copy / memcpy, 1920x1080 ") + depths[d], r.Counter(base + "copy_per_memcpy"),
        "x", Goal::AT_MOST, 1.5, "<= 1.5");
    Row(std::string("host fill / memset, 1920x1080 ") + depths[d], r.Counter(base + "fill_per_memset"),
        "x", Goal::NONE, 0, "(for reference)");
  }
  Row("host segment preparation + clean-up, frequency 100", r.Counter("BM_SegmentPreparation/again:0/prep_us"),
      "us", Goal::AT_MOST, 1.0, "< 1 us");
  Row("  the same segment again in the check-out", r.Counter("BM_SegmentPreparation/again:1/prep_us"), "us",
      Goal::AT_MOST, 1.0, "< 1 us");
  const char* paths[] = {"1", "8", "64", "512"};
  const char* fractions[] = {"0.1", "0.5", "0.9"};
  for (int s = 0; s < 4; ++s) {
    for (int f = 0; f < 3; ++f) {
      const std::string base = "BM_Locate/segments:" + std::to_string(s) + "/fraction:" + std::to_string(f) + "/";
      Row(std::string("locate / host floor, ") + paths[s] + " segments at " + fractions[f],
          r.Counter(base + "locate_per_floor"), "x", Goal::NONE, 0, "(the plug-in's share, for reference)");
    }
  }
  const char* rings[] = {"8", "64", "512"};
  std::optional<double> allocations;
  for (int s = 0; s < 3; ++s) {
    const std::string base = "BM_Bake/segments:" + std::to_string(s) + "/";
    Row(std::string("bake per step, 10 min / 10 s, ") + rings[s] + " segments",
        r.Counter(base + "per_step_10min_per_10s"), "x", Goal::AT_MOST, 1.10,
        "<= 1.10 (flat: no growth with length)");
    Row(std::string("bake per step, 10 min layer, ") + rings[s] + " segments", r.Counter(base + "per_step_10min_us"),
        "us", Goal::NONE, 0, "");
    if (auto a = r.Counter(base + "module_allocations")) allocations = allocations.value_or(0) + *a;
  }
  // Linear in the segments passed: each segment more costs the same, whether the
  // path has 64 or 512 (the slope from 64 to 512 over the slope from 8 to 64).
  auto step = [&](int s) { return r.Counter("BM_Bake/segments:" + std::to_string(s) + "/per_step_10min_us"); };
  auto passed = [&](int s) { return r.Counter("BM_Bake/segments:" + std::to_string(s) + "/segments_passed_per_step"); };
  if (step(0) && step(1) && step(2) && passed(0) && passed(1) && passed(2)) {
    const double low = (*step(1) - *step(0)) / (*passed(1) - *passed(0));
    const double high = (*step(2) - *step(1)) / (*passed(2) - *passed(1));
    Row("bake cost per segment passed, 64-512 / 8-64 segments", high / low, "x", Goal::WITHIN, 1.25,
        "~1.0 (linear in segments passed)");
    Row("bake cost per segment passed, 64-512 segments", high * 1e3, "ns", Goal::NONE, 0, "");
  }
  // Whole bake frames, the walk included; module_symbols.sh shows the module file
  // references no allocator at all.
  Row("module heap allocations in all the bakes", allocations, "", Goal::AT_MOST, 0, "0 (and no allocator in the file)");
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // Memory the process frees stays with it, its large blocks included. Otherwise
  // a 10 min bake's megabytes of keyframes go back to the system after each bake
  // and the next one faults them in again page by page, while the repeated 10 s
  // bakes reuse their few kilobytes: a cost of the kernel, not of the walk, that
  // would show as a per-step cost growing with the layer.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintFigures(reporter);
  benchmark::Shutdown();
  return 0;
}
