// In-process speed of the calibration scan and the minutes conversion, without the file
// system: what the command-line measurements cannot separate from reading and writing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "calibration/kal_scan.h"
#include "calibration/point_fields.h"
#include "kal_text.h"
#include "mapfile/map_writer.h"
#include "record/state.h"

namespace kal2map {
namespace {

const std::string& OneMegabyte() {
  static const std::string text = bench::KalOfSize(1 << 20);
  return text;
}

void BM_ScanKal1MB(benchmark::State& run) {
  const std::string& text = OneMegabyte();
  State state;
  for (auto _ : run) {
    ReadKalText(state, text);
    benchmark::DoNotOptimize(state.PointCount);
  }
  run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations() * text.size()));
}
BENCHMARK(BM_ScanKal1MB);

// The same through the file reader, with the file in the page cache.
void BM_ReadKal1MBFile(benchmark::State& run) {
  const std::string& text = OneMegabyte();
  const auto path = std::filesystem::temp_directory_path() / "kal2map-bench-1mb.kal";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  State state;
  for (auto _ : run) {
    if (ReadKal(state, path)) run.SkipWithError("reading failed");
    benchmark::DoNotOptimize(state.PointCount);
  }
  run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations() * text.size()));
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadKal1MBFile);

void BM_FractionToMinutes(benchmark::State& run) {
  const char* fractions[] = {"15560", "5", "51763", "99999", "00001", "25", "1234567"};
  std::size_t i = 0;
  for (auto _ : run) {
    benchmark::DoNotOptimize(FractionToMinutes(fractions[i]));
    i = (i + 1) % std::size(fractions);
  }
}
BENCHMARK(BM_FractionToMinutes);

// One map sheet of 30 points, scanned and built, as the batch does per file.
void BM_ConvertSheetInMemory(benchmark::State& run) {
  const std::string text = bench::KalSheet(1, 30);
  State state;
  InitState(state, std::filesystem::temp_directory_path());
  for (auto _ : run) {
    ReadKalText(state, text);
    benchmark::DoNotOptimize(BuildMap(state));
  }
}
BENCHMARK(BM_ConvertSheetInMemory);

}  // namespace
}  // namespace kal2map

BENCHMARK_MAIN();
