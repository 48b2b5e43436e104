// Runs the benchmarks, then prints the figures that matter side by side, each
// with its ratio to a reference measured in the same run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Figure {
  double msPerIteration = 0;
  double nsPerSample = 0;
};

// Every run of a benchmark; its figure is the median run (by time per iteration).
class Collector : public benchmark::ConsoleReporter {
public:
  std::map<std::string, std::vector<Figure>> runsOf;
  std::map<std::string, Figure> figures;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) {
        continue;
      }
      Figure f;
      f.msPerIteration =
          run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond ? 1.0 : 1e-6);
      auto it = run.counters.find("ns_per_sample");
      if (it != run.counters.end()) {
        f.nsPerSample = it->second.value;
      }
      // Keyed by the name as registered, without the suffixes of its options.
      std::string name = run.benchmark_name();
      for (const char* suffix : {"/real_time", "/iterations:", "/repeats:"}) {
        const auto at = name.find(suffix);
        if (at != std::string::npos) {
          name.erase(at);
        }
      }
      std::vector<Figure>& all = runsOf[name];
      all.push_back(f);
      std::vector<Figure> sorted = all;
      std::sort(sorted.begin(), sorted.end(), [](const Figure& a, const Figure& b) {
        return a.msPerIteration < b.msPerIteration;
      });
      figures[name] = sorted[sorted.size() / 2];
    }
  }
};

void line(const Collector& c, const char* label, const std::string& name) {
  auto it = c.figures.find(name);
  if (it == c.figures.end()) {
    return;
  }
  std::printf("  %-44s %10.3f ms %10.3f ns/sample\n", label, it->second.msPerIteration,
              it->second.nsPerSample);
}

void ratio(const Collector& c, const char* label, const std::string& what, const std::string& ref,
           bool perSample, const char* target) {
  auto a = c.figures.find(what), b = c.figures.find(ref);
  if (a == c.figures.end() || b == c.figures.end()) {
    return;
  }
  double num = perSample ? a->second.nsPerSample : a->second.msPerIteration;
  double den = perSample ? b->second.nsPerSample : b->second.msPerIteration;
  std::printf("  %-44s %10.2f x   %s\n", label, den > 0 ? num / den : 0.0, target);
}

} // namespace

void registerScaling();

int main(int argc, char** argv) {
  registerScaling();
  // The repetitions of the benchmarks run in a random order among each other, so
  // that a slow spell of the machine spreads over all of them instead of one.
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  const Collector& c = collector;
  std::printf("\nEvaluation of x^2 + y^2 - 1.0 over the default grid (2001 x 2001 samples)\n");
  line(c, "tree walk (CProgram::evaluate)", "eval/tree_walk");
  line(c, "batch evaluator", "eval/batch");
  line(c, "native, the language's power (pow)", "eval/native_pow");
  line(c, "native, power of 2 as the square", "eval/native_square");
  line(c, "muParser", "eval/muparser");
  ratio(c, "tree walk / native (pow)", "eval/tree_walk", "eval/native_pow", true, "");
  ratio(c, "tree walk / native (square)", "eval/tree_walk", "eval/native_square", true, "");
  ratio(c, "batch / native (square)", "eval/batch", "eval/native_square", true, "");
  ratio(c, "muParser / batch", "eval/muparser", "eval/batch", true, "(target: at least 3)");

  std::printf(
      "\nDrawing passes with the default settings (fast: batch evaluator; plain: tree walk;\n"
      "record: fast, into a recording)\n");
  for (const char* kind : {"explicit", "parametric", "implicit", "implicit_0.005"}) {
    for (const char* way : {"plain", "fast", "record", "native"}) {
      std::string name = std::string("pass/") + kind + "/" + way;
      line(c, (std::string(kind) + ", " + way).c_str(), name);
    }
  }
  ratio(c, "implicit pass, fast / native loop", "pass/implicit/fast", "pass/implicit/native", false,
        "(target: at most 4)");
  ratio(c, "implicit pass at 0.005, fast / native", "pass/implicit_0.005/fast",
        "pass/implicit_0.005/native", false, "(target: at most 4)");
  ratio(c, "implicit pass, plain / fast", "pass/implicit/plain", "pass/implicit/fast", false, "");
  ratio(c, "implicit pass, recorded / into pixels", "pass/implicit/record", "pass/implicit/fast",
        false, "");

  std::printf(
      "\nImplicit \"=0\" circle, per sample, beside the native loop at the same accuracy\n");
  for (const char* accuracy : {"0.01", "0.005", "0.001"}) {
    const std::string base = std::string("pass/circle_") + accuracy;
    for (const std::string& way :
         {std::string("threads_1"), std::string("threads_2"), std::string("native")}) {
      line(c, (std::string(accuracy) + ", " + way).c_str(), base + "/" + way);
    }
    ratio(c, (std::string(accuracy) + ", one thread / native").c_str(), base + "/threads_1",
          base + "/native", true, "(target: at most 1.0)");
  }
  ratio(c, "0.001, two threads / native (one thread)", "pass/circle_0.001/threads_2",
        "pass/circle_0.001/native", false, "(target: at most 0.6)");
  std::printf("\nScaling: the pass on one thread / the pass on n threads\n");
  for (const auto& [name, figure] : c.figures) {
    const auto at = name.find("/threads_");
    if (at == std::string::npos || name.compare(at, std::string::npos, "/threads_1") == 0 ||
        name.rfind("pass/", 0) != 0) {
      continue;
    }
    const std::string one = name.substr(0, at) + "/threads_1";
    ratio(c, (name.substr(5) + " speed-up").c_str(), one, name, false, "");
  }
  benchmark::Shutdown();
  return 0;
}
