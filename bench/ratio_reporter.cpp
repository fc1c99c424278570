#include "ratio_reporter.h"

#include <cstdio>

namespace tavrin::bench {

void TRatioReporter::ReportRuns(const std::vector<Run>& Reports) {
  for (const auto& r : Reports) {
    if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
    const std::string Name = r.benchmark_name();
    FTimes[Name] = r.GetAdjustedCPUTime();
    for (const auto& [Key, Counter] : r.counters) FCounters[Name][Key] = Counter.value;
  }
  ConsoleReporter::ReportRuns(Reports);
}

void TRatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::printf("\nTargets (measured in this run):\n");
  for (const auto& t : FRatios) {
    const auto s = FTimes.find(t.Subject);
    const auto b = FTimes.find(t.Baseline);
    if (s == FTimes.end() || b == FTimes.end() || b->second <= 0) {
      std::printf("  %-40s not measured\n", t.Subject.c_str());
      FAllMet = false;
      continue;
    }
    const double Ratio = s->second / b->second;
    const bool Met = Ratio <= t.MaxRatio;
    FAllMet = FAllMet && Met;
    std::printf("  %-40s %6.2fx %-28s (target <= %.1fx) %s\n", t.Subject.c_str(), Ratio,
                t.Baseline.c_str(), t.MaxRatio, Met ? "met" : "MISSED");
  }
  for (const auto& t : FRates) {
    const auto c = FCounters.find(t.Benchmark);
    if (c == FCounters.end() || !c->second.contains(t.Counter)) {
      std::printf("  %-40s not measured\n", t.Benchmark.c_str());
      FAllMet = false;
      continue;
    }
    const double Rate = c->second.at(t.Counter);
    const bool Met = Rate >= t.MinRate;
    FAllMet = FAllMet && Met;
    std::printf("  %-40s %8.1f M %s/s (target >= %.0f M) %s\n", t.Benchmark.c_str(), Rate / 1e6,
                t.Counter.c_str(), t.MinRate / 1e6, Met ? "met" : "MISSED");
  }
}

}  // namespace tavrin::bench
