#pragma once
// Speed targets are ratios between two benchmarks of the same run, so they hold on any
// machine: after the usual console table this prints each ratio beside its target.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace tavrin::bench {

struct TRatioTarget {
  std::string Subject;   // benchmark name
  std::string Baseline;  // benchmark name
  double MaxRatio;       // subject time / baseline time must not exceed this
};

struct TRateTarget {
  std::string Benchmark;
  std::string Counter;   // e.g. "items_per_second"
  double MinRate;
};

class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  TRatioReporter(std::vector<TRatioTarget> Ratios, std::vector<TRateTarget> Rates)
      : FRatios(std::move(Ratios)), FRates(std::move(Rates)) {}

  void ReportRuns(const std::vector<Run>& Reports) override;
  void Finalize() override;

  // False when a target was missed or its benchmarks did not run.
  bool AllMet() const { return FAllMet; }

 private:
  std::vector<TRatioTarget> FRatios;
  std::vector<TRateTarget> FRates;
  std::map<std::string, double> FTimes;                     // name -> cpu ns per iteration
  std::map<std::string, std::map<std::string, double>> FCounters;
  bool FAllMet = true;
};

}  // namespace tavrin::bench
