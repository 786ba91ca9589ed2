// In-process figures with Google Benchmark: the pieces every poll and every
// manifest line pay for.
#include <benchmark/benchmark.h>

#include "platform/process_list.h"
#include "platform/regional.h"
#include "platform/running_object.h"
#include "platform/text.h"

namespace {

void BM_ApplicationRunningCheck(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::IsApplicationRunning(u"/opt/vorlo-bench/vorlo.exe"));
  }
}
BENCHMARK(BM_ApplicationRunningCheck)->Unit(benchmark::kMicrosecond);

void BM_ProcessScan(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(platform::ProcessExists(u"vorlo.exe"));
}
BENCHMARK(BM_ProcessScan)->Unit(benchmark::kMicrosecond);

void BM_ManifestLineToText(benchmark::State& state) {
  const std::string line = "  lib\\sub folder\\engine-module-42.dll\t";
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::UpperCase(platform::Trim(platform::AnsiToUtf16(line))));
  }
}
BENCHMARK(BM_ManifestLineToText);

void BM_TimeStamp(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(platform::FormatTimeStamp(platform::Now()));
}
BENCHMARK(BM_TimeStamp);

}  // namespace

BENCHMARK_MAIN();
