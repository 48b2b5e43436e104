// The pruned implicit pass against the plain pass, measured in the same run:
// whole drawing passes (Plotter::drawAll, as the program's worker calls it) of
// graphs of different character at three accuracies, on one thread and on every
// core. Every run prints both times, the ratio, the samples the pruned pass
// evaluated and the boxes it enclosed; a summary gives the medians. With
// --render, the renderer's whole process at 0.01 and 0.001 as well.
//
//   lumicurve_pruned_bench [--runs N] [--only NAME] [--accuracy A]... [--render PATH]
//                          [--threads N] [--pruned-only | --plain-only]   (for a profiler)

#include "bench_scene.h"
#include "expr/program.h"
#include "plot/plotter.h"
#include "settings/plot_settings.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Graph {
  const char* name;
  const char* formula;
  GraphKind kind;
};

const Graph kGraphs[] = {
    {"circle", "x^2 + y^2 - 1.0", ImplicitEqual},   {"disc", "x^2 + y^2 - 1.0", ImplicitLess},
    {"wave", "sin(x*y)-cos(x+y)", ImplicitEqual},   {"poles", "y - tg(x)", ImplicitEqual},
    {"remainder", "x%3 + y%2 - 1", ImplicitLess},   {"min", "min(x*x - y, y*y - x)", ImplicitEqual},
    {"powers", "x^3 - 3*x*y + y^3", ImplicitEqual}, {"log", "ln(x*x + y*y) - y", ImplicitGreater},
    {"undecided", "sin(x*y*100)", ImplicitEqual},
};

// Milliseconds of the wall clock and of the processor time of every thread.
struct Times {
  double wall = 0, cpu = 0;
};

double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

struct Scene : BenchScene {
  Scene(const Graph& g, const char* accuracy) : BenchScene(g.kind, accuracy, g.formula) {}

  // One whole pass into a white picture, the whitening not timed.
  Times pass(bool pruning, int threads) {
    whiten();
    plotter.pruning = pruning;
    plotter.threads = threads;
    const double cpu = cpuMs();
    const auto start = Clock::now();
    plotter.drawAll(stopRequest, live);
    return {std::chrono::duration<double, std::milli>(Clock::now() - start).count(), cpuMs() - cpu};
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

struct Summary {
  std::string label;
  double plainMs, prunedMs, plainCpu, prunedCpu;
  long long evaluated, enclosures, samples;
  bool pruned; // false: the guard drew with the plain scan, the same code as the reference
};

// The renderer's whole process, in milliseconds.
double renderOnce(const std::string& renderer, const std::string& settings,
                  const std::string& output) {
  std::vector<std::string> args{renderer, settings, output};
  std::vector<char*> argv;
  for (std::string& a : args) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, renderer.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return -1;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

std::string settingsFile(const Graph& g, const char* accuracy) {
  const std::string path = std::string("/tmp/lumicurve-pruned-bench-") + g.name + "-" + accuracy +
                           "-" + std::to_string(getpid()) + ".ini";
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    return "";
  }
  std::fprintf(f,
               "Orlenta:Lumicurve\n%d\n300.0\n300.0\n-10.0\n10.0\n-10.0\n10.0\n-10.0\n10.0\n"
               "1.0\n1.0\n1.0\n1.0\n%s\n20\nx\nx\n%s\nx\n",
               static_cast<int>(g.kind), accuracy, g.formula);
  std::fclose(f);
  return path;
}

void benchRenderer(const std::string& renderer, int runs) {
  std::printf("\nThe renderer's whole process (PNG), pruned pass, every core\n");
  for (const Graph& g : {kGraphs[0], kGraphs[2]}) {
    double medians[2] = {0, 0};
    const char* accuracies[] = {"0.01", "0.001"};
    for (int a = 0; a < 2; ++a) {
      const std::string settings = settingsFile(g, accuracies[a]);
      const std::string output = settings + ".png";
      std::vector<double> times;
      for (int r = 0; r < runs; ++r) {
        const double ms = renderOnce(renderer, settings, output);
        std::printf("  run %d: %-8s at %-6s %9.1f ms\n", r + 1, g.name, accuracies[a], ms);
        times.push_back(ms);
      }
      medians[a] = median(times);
      std::remove(output.c_str());
      std::remove(settings.c_str());
    }
    std::printf("  %-8s 0.001 / 0.01: %.1f ms / %.1f ms = %.2f x   (aim: at most %s)\n", g.name,
                medians[1], medians[0], medians[1] / medians[0],
                std::strcmp(g.name, "circle") == 0 ? "1.5" : "3");
  }
}

} // namespace

int main(int argc, char** argv) {
  int runs = 3;
  bool prunedOnly = false, plainOnly = false;
  int onlyThreads = 0;
  std::string only, renderer;
  std::vector<std::string> accuracies;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--accuracy" && i + 1 < argc) {
      accuracies.emplace_back(argv[++i]);
    } else if (arg == "--threads" && i + 1 < argc) {
      onlyThreads = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--pruned-only") {
      prunedOnly = true;
    } else if (arg == "--plain-only") {
      plainOnly = true;
    } else if (arg == "--render" && i + 1 < argc) {
      renderer = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: lumicurve_pruned_bench [--runs N] [--only NAME] [--accuracy A]... "
                   "[--render PATH] [--threads N] [--pruned-only | --plain-only]\n");
      return 2;
    }
  }
  if (accuracies.empty()) {
    accuracies = {"0.1", "0.05", "0.01", "0.005", "0.001"};
  }
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::vector<int> threadCounts{1};
  if (cores > 1) {
    threadCounts.push_back(cores);
  }
  if (onlyThreads > 0) {
    threadCounts = {onlyThreads};
  }
  std::printf("Pruned implicit pass / plain pass, default view, %d run(s) each, medians below\n",
              runs);
  std::vector<Summary> summaries;
  for (const std::string& accuracy : accuracies) {
    for (const Graph& g : kGraphs) {
      if (!only.empty() && only != g.name) {
        continue;
      }
      for (int threads : threadCounts) {
        Scene scene(g, accuracy.c_str());
        std::vector<double> plain, pruned, plainCpu, prunedCpu;
        PrunedPass::Counts counts;
        // The first pass of a plotter loads the label font and grows its tables.
        scene.pass(true, threads);
        for (int r = 0; r < runs; ++r) {
          // Alternate which goes first, so that neither always finds the caches warm.
          Times t[2];
          for (int k = prunedOnly ? 1 : 0; k < (plainOnly ? 1 : 2); ++k) {
            const bool prune = prunedOnly || (!plainOnly && (k + r) % 2 == 1);
            t[prune ? 1 : 0] = scene.pass(prune, threads);
            if (prune) {
              counts = scene.plotter.pruned.counts;
            }
          }
          plain.push_back(t[0].wall);
          pruned.push_back(t[1].wall);
          plainCpu.push_back(t[0].cpu);
          prunedCpu.push_back(t[1].cpu);
          std::printf(
              "  run %d: %-9s %-6s %d thread(s): plain %9.2f ms (cpu %9.2f)  pruned %8.3f ms"
              " (cpu %8.3f)  %7.1f x  evaluated %9lld  enclosures %7lld  plain strips "
              "%lld/%lld%s\n",
              r + 1, g.name, accuracy.c_str(), threads, t[0].wall, t[0].cpu, t[1].wall, t[1].cpu,
              t[1].wall > 0 ? t[0].wall / t[1].wall : 0.0, static_cast<long long>(counts.evaluated),
              static_cast<long long>(counts.enclosures), static_cast<long long>(counts.plainStrips),
              static_cast<long long>(counts.strips), counts.pruned ? "" : "  (guard: plain scan)");
          std::fflush(stdout);
        }
        summaries.push_back({std::string(g.name) + " " + accuracy + " " + std::to_string(threads) +
                                 (threads == 1 ? " thread" : " threads"),
                             median(plain), median(pruned), median(plainCpu), median(prunedCpu),
                             static_cast<long long>(counts.evaluated),
                             static_cast<long long>(counts.enclosures),
                             static_cast<long long>(scene.plotter.samplesDone), counts.pruned});
      }
    }
  }
  std::printf("\n  %-24s %11s %11s %9s %11s %11s %9s %11s %10s %11s\n", "graph, accuracy, threads",
              "plain ms", "pruned ms", "speed-up", "plain cpu", "pruned cpu", "(cpu)", "evaluated",
              "enclosed", "samples");
  double slowest = 0, slowestCpu = 0;
  std::string slowestLabel, slowestCpuLabel;
  for (const Summary& s : summaries) {
    std::printf("  %-24s %11.2f %11.3f %8.1fx %11.2f %11.3f %8.1fx %11lld %10lld %11lld%s\n",
                s.label.c_str(), s.plainMs, s.prunedMs, s.plainMs / s.prunedMs, s.plainCpu,
                s.prunedCpu, s.plainCpu / s.prunedCpu, s.evaluated, s.enclosures, s.samples,
                s.pruned ? "" : "  guard: plain scan");
    if (!s.pruned) {
      continue; // the same code twice: the ratio is the machine's noise
    }
    if (s.prunedMs / s.plainMs > slowest) {
      slowest = s.prunedMs / s.plainMs;
      slowestLabel = s.label;
    }
    if (s.prunedCpu / s.plainCpu > slowestCpu) {
      slowestCpu = s.prunedCpu / s.plainCpu;
      slowestCpuLabel = s.label;
    }
  }
  std::printf("\n  aims: circle 0.001 at least 100x, wave 0.001 at least 30x, circle 0.01 at least "
              "5x;\n  slowest pruned pass / plain: %.3f (%s), by processor time %.3f (%s); aim "
              "at most 1.05\n",
              slowest, slowestLabel.c_str(), slowestCpu, slowestCpuLabel.c_str());
  if (!renderer.empty()) {
    benchRenderer(renderer, runs);
  }
  return 0;
}
