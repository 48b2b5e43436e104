// Whole drawing passes with the default settings of each kind, beside a native
// loop that evaluates the default implicit formula, applies the same test and
// sets the same pixels.

#include "bench_scene.h"
#include "bench_util.h"
#include "expr/program.h"
#include "plot/plotter.h"
#include "settings/plot_settings.h"
#include "surface/recording.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// The default settings of a kind, drawn with the plain scan.
struct Scene : BenchScene {
  Scene(int kind, const char* accuracy, bool fast, int threads = 0, const char* formula = nullptr)
      : BenchScene(kind, accuracy, formula) {
    plotter.fastPaths = fast;
    plotter.threads = threads;
    plotter.pruning = false; // these figures are the plain scan's; pruned_bench has the pruned
  }
};

// Whole passes into the scene's white picture, the whitening not timed.
void timePasses(benchmark::State& state, Scene& scene) {
  for (auto _ : state) {
    state.PauseTiming();
    scene.whiten();
    state.ResumeTiming();
    scene.plotter.drawAll(scene.stopRequest, scene.live);
  }
  perSample(state, scene.plotter.samplesDone);
}

void pass(benchmark::State& state, int kind, const char* accuracy, bool fast) {
  Scene scene(kind, accuracy, fast, 1);
  timePasses(state, scene);
}

// The same pass into a recording device context, as lumicurve-render draws a
// document: the implicit scan reports runs of marked rows instead of pixels.
void recordedPass(benchmark::State& state, int kind) {
  Scene scene(kind, "0.01", true, 1);
  for (auto _ : state) {
    state.PauseTiming();
    auto recording = std::make_unique<Recording>(1024, 768);
    HDC dc = CreateRecordingDC(recording.get());
    SetROP2(dc, R2_COPYPEN);
    SetBkMode(dc, TRANSPARENT);
    PatBlt(dc, 0, 0, 1024, 768, WHITENESS);
    scene.live.canvasDC = dc;
    state.ResumeTiming();
    scene.plotter.drawAll(scene.stopRequest, scene.live);
    state.PauseTiming();
    DeleteDC(dc);
    recording.reset();
    scene.live.canvasDC = scene.dc;
    state.ResumeTiming();
  }
  perSample(state, scene.plotter.samplesDone);
}

inline double square(double p) {
  return p == 0 ? 1.0 : p * p;
}

// The default implicit "= 0" pass as native code: x^2 + (y^2 - 1.0) with the
// language's square, the same test, the same pixels.
void nativeImplicit(benchmark::State& state, double accuracy) {
  Scene scene(ImplicitEqual, "0.01", true);
  PixelTarget target{};
  GetPixelTarget(scene.dc, &target);
  const std::uint32_t red = 0xFF0000;
  std::int64_t samples = 0;
  for (auto _ : state) {
    state.PauseTiming();
    scene.whiten();
    state.ResumeTiming();
    samples = 0;
    const double e = accuracy;
    for (double x = -10.0; x < 10.0; x += accuracy) {
      const int ix = static_cast<int>(x * 20.0 + 300.0) + 1;
      for (double y = -10.0; y < 10.0; y += accuracy) {
        const double v = square(x) + (square(y) - 1.0);
        if (-e <= v && v <= e) {
          const int iy = static_cast<int>(300.0 - y * 20.0) + 1;
          if (ix >= 0 && ix < 1024 && iy >= 0 && iy < 768) {
            target.pixels[iy * 1024 + ix] = red;
          }
        }
        ++samples;
      }
    }
    benchmark::DoNotOptimize(target.pixels[0]);
  }
  perSample(state, samples);
}

// An implicit "=0" pass of a formula (null: the default circle) on `threads`
// threads, into pixels.
void sharedPass(benchmark::State& state, const char* accuracy, int threads, const char* formula) {
  Scene scene(ImplicitEqual, accuracy, true, threads, formula);
  timePasses(state, scene);
}

} // namespace

// The circle at three accuracies on one thread, on two and on every core, beside
// the native loop at the same accuracy, each five times (the summary takes the
// median, so one disturbed run does not decide a ratio); sin(x*y)-cos(x+y) at
// 0.001 likewise, once.
void registerScaling() {
  constexpr int kRepetitions = 5;
  std::vector<int> counts{1, 2};
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  if (cores > 2) {
    counts.push_back(cores);
  }
  for (const char* accuracy : {"0.01", "0.005", "0.001"}) {
    const bool fine = std::strcmp(accuracy, "0.001") == 0;
    const std::string name = std::string("circle_") + accuracy;
    for (int threads : counts) {
      auto* b = benchmark::RegisterBenchmark(
          ("pass/" + name + "/threads_" + std::to_string(threads)).c_str(),
          [=](benchmark::State& st) { sharedPass(st, accuracy, threads, nullptr); });
      b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(kRepetitions);
      if (fine) {
        b->Iterations(1);
      }
    }
    const double step = CText(accuracy).toReal(0);
    auto* native =
        benchmark::RegisterBenchmark(("pass/" + name + "/native").c_str(),
                                     [=](benchmark::State& st) { nativeImplicit(st, step); });
    native->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(kRepetitions);
    if (fine) {
      native->Iterations(1);
    }
  }
  for (int threads : counts) {
    benchmark::RegisterBenchmark(
        ("pass/sincos_0.001/threads_" + std::to_string(threads)).c_str(),
        [=](benchmark::State& st) { sharedPass(st, "0.001", threads, "sin(x*y)-cos(x+y)"); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
  }
}

BENCHMARK_CAPTURE(pass, explicit_plain, Explicit, "0.01", false)
    ->Name("pass/explicit/plain")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pass, explicit_fast, Explicit, "0.01", true)
    ->Name("pass/explicit/fast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pass, parametric_plain, Parametric, "0.01", false)
    ->Name("pass/parametric/plain")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pass, parametric_fast, Parametric, "0.01", true)
    ->Name("pass/parametric/fast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pass, implicit_plain, ImplicitEqual, "0.01", false)
    ->Name("pass/implicit/plain")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pass, implicit_fast, ImplicitEqual, "0.01", true)
    ->Name("pass/implicit/fast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(recordedPass, implicit_record, ImplicitEqual)
    ->Name("pass/implicit/record")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(nativeImplicit, implicit_native, CText("0.01").toReal(0))
    ->Name("pass/implicit/native")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pass, implicit_fine_plain, ImplicitEqual, "0.005", false)
    ->Name("pass/implicit_0.005/plain")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(pass, implicit_fine_fast, ImplicitEqual, "0.005", true)
    ->Name("pass/implicit_0.005/fast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(nativeImplicit, implicit_fine_native, CText("0.005").toReal(0))
    ->Name("pass/implicit_0.005/native")
    ->Unit(benchmark::kMillisecond);
