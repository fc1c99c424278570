#include "ratio_reporter.h"

#include <cstdio>

namespace tavrin::bench {

void TRatioReporter::ReportRuns(const std::vector<Run>& Reports) {
  for (const auto& r : Reports) {
    if (r.error_occurred) continue;
    // With repetitions the median stands for the benchmark; a single run stands for itself.
    const bool Median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
    if (r.run_type != Run::RT_Iteration && !Median) continue;
    auto& Counters = FCounters[r.run_name.str()];
    for (const auto& [Key, Counter] : r.counters) Counters[Key] = Counter.value;
  }
  ConsoleReporter::ReportRuns(Reports);
}

void TRatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::printf("\nTargets (measured in this run):\n");
  for (const auto& t : FTargets) {
    const auto b = FCounters.find(t.Benchmark);
    if (b == FCounters.end() || !b->second.contains(t.Counter)) {
      std::printf("  %-28s not measured\n", t.Benchmark.c_str());
      continue;
    }
    const double Figure = b->second.at(t.Counter) / t.Scale;
    const double Bound = t.Bound / t.Scale;
    const bool Met = t.AtMost ? Figure <= Bound : Figure >= Bound;
    std::printf("  %-28s %8.2f %-22s (target %s %.2f) %s\n", t.Benchmark.c_str(), Figure,
                t.Unit.c_str(), t.AtMost ? "<=" : ">=", Bound, Met ? "met" : "MISSED");
  }
}

}  // namespace tavrin::bench
