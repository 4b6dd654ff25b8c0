// main() shared by every benchmark executable.
//
// Benchmarks are named "<comparison>/ours" and "<comparison>/ref" (the
// reference implementation, run in the same process), or "<name>/info" for a
// figure without a reference. Each must set bytes_per_second or
// items_per_second. After the run one line per comparison goes to stdout:
//   RATIO <comparison> <ours / ref>
//   INFO <name> <value> MB/s        (or items/s)
// and one per figure a benchmark gave with kal::bench::Info (RatioMain.h):
//   INFO <figure> <value> <unit>
// The usual Google Benchmark table goes to stderr.
#include "RatioMain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

using benchmark::BenchmarkName;

struct Figure {
  double rate = 0;
  bool bytes = true;
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const std::string prefix = kal::bench::kInfoCounter;
      for (const auto& [key, counter] : run.counters) {
        if (key.rfind(prefix, 0) != 0) continue;
        const std::string rest = key.substr(prefix.size());
        const auto colon = rest.rfind(':');
        if (colon == std::string::npos) continue;
        Info info{rest.substr(0, colon), counter.value, rest.substr(colon + 1)};
        // The counters come sorted by name: a figure keeps the place of its
        // first report among the runs, later runs replace its value.
        auto same = std::find_if(infos_.begin(), infos_.end(),
                                 [&](const Info& i) { return i.figure == info.figure; });
        if (same != infos_.end())
          *same = std::move(info);
        else
          infos_.push_back(std::move(info));
      }
      Figure f;
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) {
        f.rate = it->second;
      } else if ((it = run.counters.find("items_per_second")) != run.counters.end()) {
        f.rate = it->second;
        f.bytes = false;
      } else {
        continue;
      }
      // A fixed iteration count or time, or real time, adds a part to the
      // name ("/iterations:N", "/real_time"); the comparison's name is the
      // rest.
      BenchmarkName name = run.run_name;
      name.min_time.clear();
      name.min_warmup_time.clear();
      name.iterations.clear();
      name.time_type.clear();
      figures_[name.str()] = f;
    }
  }

  void PrintRatios() const {
    for (const auto& [name, fig] : figures_) {
      const auto slash = name.rfind('/');
      if (slash == std::string::npos) continue;
      const std::string base = name.substr(0, slash);
      const std::string kind = name.substr(slash + 1);
      if (kind == "ours") {
        auto ref = figures_.find(base + "/ref");
        if (ref != figures_.end() && ref->second.rate > 0)
          std::printf("RATIO %s %.3f\n", base.c_str(), fig.rate / ref->second.rate);
      } else if (kind == "info") {
        if (fig.bytes)
          std::printf("INFO %s %.1f MB/s\n", base.c_str(), fig.rate / 1e6);
        else
          std::printf("INFO %s %.1f items/s\n", base.c_str(), fig.rate);
      }
    }
    // Small figures (times per item) keep three decimals.
    for (const Info& i : infos_)
      std::printf(i.value < 10 ? "INFO %s %.3f %s\n" : "INFO %s %.1f %s\n", i.figure.c_str(),
                  i.value, i.unit.c_str());
    std::fflush(stdout);
  }

 private:
  std::map<std::string, Figure> figures_;
  struct Info {
    std::string figure;
    double value = 0;
    std::string unit;
  };
  std::vector<Info> infos_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  reporter.PrintRatios();
  return 0;
}
