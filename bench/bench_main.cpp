// Runs every benchmark, then prints the targets as ratios measured in the same run.
// Exit status 0 whether or not a target was met: the figures are for people to read,
// never a timed test.

#include "ratio_reporter.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tavrin::bench::TRatioReporter Reporter(
      {
          {"BM_WriteRawBlock30K", "BM_Memcpy30K", 1.5},
          {"BM_WriteReadString1K", "BM_MemcpyString1K", 4.0},
      },
      {
          {"BM_PackUnpackInt32Row", "items_per_second", 50e6},
      });
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  benchmark::Shutdown();
  return 0;
}
