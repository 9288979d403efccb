// What the benchmarks share: an effect instance in a quiet host, mask shapes, and
// a host whose "module" is a function of the benchmark, for timing plug-in parts
// inside one real command.
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "params/param_index.h"
#include "plugin/host/handlers.h"
#include "plugin/host/suite_cache.h"
#include "refhost/frame.h"
#include "refhost/host.h"

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra);

namespace bench {

constexpr PF_PathID MASK = 1;

// The machine is shared, so the figures compare what was measured side by side:
// each benchmark alternates the things it compares within every iteration and
// times each on the thread's own CPU clock, which other processes do not advance.
// Medians over the iterations are what is reported, of each side's times and of
// the ratios between the sides within an iteration.
inline double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

class Samples {
 public:
  // Times `work`, adding its CPU seconds (divided by `per`) as one sample.
  template <class Work>
  void Time(Work&& work, double per = 1.0) {
    const double start = ThreadSeconds();
    work();
    seconds_.push_back((ThreadSeconds() - start) / per);
  }
  double Median() const { return MedianOf(seconds_); }
  // The median over the iterations of this sample over the other's of the same
  // iteration: each ratio compares two runs made moments apart.
  double MedianRatio(const Samples& other) const {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < seconds_.size() && i < other.seconds_.size(); ++i) {
      if (other.seconds_[i] > 0) ratios.push_back(seconds_[i] / other.seconds_[i]);
    }
    return MedianOf(ratios);
  }
  void Add(double seconds) { seconds_.push_back(seconds); }
  double Last() const { return seconds_.empty() ? 0.0 : seconds_.back(); }

  static double MedianOf(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
  }

 private:
  std::vector<double> seconds_;
};

// Heap allocations made by the module's own code while a command runs (never
// inside a host callback), counted by the benchmark's operator new.
std::int64_t ModuleAllocations();

// A closed polygon of `segments` curved edges around the layer's centre: a
// circle of Bézier arcs, so every segment has real length and curvature.
inline std::vector<refhost::PathVertex> Ring(int segments, double cx, double cy, double radius) {
  std::vector<refhost::PathVertex> vertices;
  const double step = 2 * 3.141592653589793 / segments;
  const double handle = radius * 4.0 / 3.0 * std::tan(step / 4);
  for (int i = 0; i < segments; ++i) {
    const double a = i * step;
    const refhost::Vec2 p{cx + radius * std::cos(a), cy + radius * std::sin(a)};
    const refhost::Vec2 t{-std::sin(a) * handle, std::cos(a) * handle};
    vertices.push_back({p, {-t.x, -t.y}, t});
  }
  return vertices;
}

// An effect instance on a test-card layer, tracing off, as a user would run it.
inline std::unique_ptr<refhost::Host> Instance(A_long width, A_long height) {
  auto host = std::make_unique<refhost::Host>(&EntryPointFunc);
  host->trace.SetEnabled(false);
  host->SetTestCardLayer(width, height);
  host->StartInstance();
  return host;
}

// Runs `body` inside one command of a host whose module is `body` itself, with a
// suite cache as the effect's handlers have.
class ScriptHost {
 public:
  using Body = std::function<void(SuiteCache&, PF_InData*, PF_OutData*)>;
  ScriptHost() : host_(&Entry) { host_.trace.SetEnabled(false); }
  refhost::Host& Host() { return host_; }
  void Run(const Body& body) {
    body_ = &body;
    host_.Send(PF_Cmd_SMART_RENDER);
    body_ = nullptr;
  }

 private:
  static PF_Err Entry(PF_Cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, void*) {
    try {
      SuiteCache suites(in_data->pica_basicP);
      (*body_)(suites, in_data, out_data);
      return PF_Err_NONE;
    } catch (PF_Err thrown) {
      return thrown;
    }
  }
  refhost::Host host_;
  inline static const Body* body_ = nullptr;
};

}  // namespace bench
