#pragma once
// Speed targets are ratios measured in the same run, so they hold on any machine: after
// the usual console table this prints each target's figure beside its bound.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace tavrin::bench {

struct TTarget {
  std::string Benchmark;  // benchmark name (the median is used when repeated)
  std::string Counter;    // the counter holding the figure
  double Bound;
  bool AtMost;            // true: the figure must not exceed Bound; false: not fall below
  std::string Unit;       // printed after the figure
  double Scale = 1.0;     // the figure is printed divided by this
};

class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit TRatioReporter(std::vector<TTarget> Targets) : FTargets(std::move(Targets)) {}

  void ReportRuns(const std::vector<Run>& Reports) override;
  void Finalize() override;

 private:
  std::vector<TTarget> FTargets;
  std::map<std::string, std::map<std::string, double>> FCounters;  // benchmark -> counters
};

}  // namespace tavrin::bench
