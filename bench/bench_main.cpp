// Runs every benchmark, then prints the targets measured in this run. Exit status 0
// whether or not a target was met: the figures are for people to read, never a timed
// test.

#include <string_view>
#include <vector>

#include "ratio_reporter.h"

int main(int argc, char** argv) {
  // Unless told otherwise, each benchmark runs three times and the medians count.
  std::vector<char*> Args(argv, argv + argc);
  bool Repetitions = false;
  for (char* a : Args) Repetitions = Repetitions || std::string_view(a).starts_with("--benchmark_repetitions");
  static char RepeatThree[] = "--benchmark_repetitions=3";
  static char AggregatesOnly[] = "--benchmark_report_aggregates_only=true";
  if (!Repetitions) {
    Args.push_back(RepeatThree);
    Args.push_back(AggregatesOnly);
  }
  int Count = static_cast<int>(Args.size());
  benchmark::Initialize(&Count, Args.data());
  if (benchmark::ReportUnrecognizedArguments(Count, Args.data())) return 1;

  using tavrin::bench::TTarget;
  tavrin::bench::TRatioReporter Reporter({
      {"BM_WriteRawBlock30K", "x_memcpy", 1.5, true, "x memcpy"},
      {"BM_WriteReadString1K", "x_memcpy", 4.0, true, "x memcpy"},
      {"BM_PackUnpackInt32Row", "x_plain_loop", 40.0, true, "x the plain loop"},
      {"BM_ExecuteRoundTrip", "x_echo", 1.1, true, "x echo"},
      {"BM_RegistryCallRoundTrip", "x_echo", 1.5, true, "x echo"},
      {"BM_LoginRoundTrip/demo_data/iterations:30", "x_parts", 3.0, true, "x (echo + bare login statement)"},
      {"BM_LoginRoundTrip/unprotected/iterations:30", "x_parts", 3.0, true, "x (echo + bare login statement)"},
      {"BM_ConcurrentLogins/iterations:3/manual_time", "x_version", 0.5, false, "x the VersaoServidor calls/s"},
      {"BM_ProductListWhole/iterations:15", "x_statement", 2.0, true, "x the statement stepping all rows"},
      {"BM_ProductListFirstPage/iterations:5", "x_parts", 3.0, true, "x (echo + statement stepping 50 rows)"},
      {"BM_ProductListServerMemory/iterations:1/manual_time", "x_packet", 3.0, true, "x the packet's size"},
      {"BM_ApplyThousandPrices/iterations:50", "x_bare_updates", 2.0, true, "x the bare 1,000 updates in one transaction"},
      {"BM_IdleConnections1000/iterations:1/manual_time", "cpu_percent", 2.0, true, "% of one core"},
      {"BM_IdleConnections1000/iterations:1/manual_time", "kib_per_connection", 256.0, true, "KiB resident each"},
      {"BM_HostileSoak/iterations:1/repeats:1/manual_time", "server_peak_mib", 1024.0, true, "MiB server peak beside hostile clients"},
      {"BM_HostileSoak/iterations:1/repeats:1/manual_time", "login_p99_ms", 100.0, true, "ms honest login p99"},
      {"BM_HostileSoak/iterations:1/repeats:1/manual_time", "honest_wrong", 0.0, true, "wrong or failed honest rounds"},
  });
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  benchmark::Shutdown();
  return 0;
}
