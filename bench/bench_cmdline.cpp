// cmdline_parse on the longest command line the system passes (32,767 characters), shaped to make
// the joined-path rule work hardest: paths that do not exist followed by tokens they could be
// joined with.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/text.h"
#include "files/path.h"
#include "host/cmdline.h"

namespace {

constexpr size_t LINE = 32767;

// Copies of `piece` (and a last, cut one) up to the length of the longest command line.
std::string repeated(const std::string& piece) {
  std::string s;
  while (s.size() + piece.size() <= LINE) s += piece;
  s += piece.substr(0, LINE - s.size());
  return s;
}

// A folder for zq:// that holds a file whose name begins with every join of "nx a a ...", so that
// each join is asked about and none exists.
const std::filesystem::path& folder() {
  static std::filesystem::path dir = [] {
    std::filesystem::path d = std::filesystem::temp_directory_path() / "zq_bench_cmdline";
    std::filesystem::create_directories(d);
    std::string name = "nx";
    while (name.size() + 4 < 250) name += " a";
    name += " b";
    if (FILE* f = std::fopen((d / name).string().c_str(), "wb")) std::fclose(f);
    path_set_program_path((d / "zq9utl.exe").string().c_str());
    return d;
  }();
  return dir;
}

void run(benchmark::State& state, const std::string& line) {
  folder();
  for (auto _ : state) {
    Text* list = cmdline_parse(line.c_str(), 1, CL_DEFAULT_APP);
    benchmark::DoNotOptimize(list);
    text_free(list);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)line.size());
}

void BM_CmdlineSamePathDrive(benchmark::State& state) {
  run(state, repeated("C:\\nx "));
}
void BM_CmdlineSamePathScheme(benchmark::State& state) {
  run(state, repeated("zq://nx "));
}
void BM_CmdlineOnePathShortTokens(benchmark::State& state) {
  run(state, "zq://nx" + repeated(" a").substr(7));
}
void BM_CmdlineDistinctPaths(benchmark::State& state) {
  std::string s;
  for (int i = 0; s.size() < LINE; ++i) s += "zq://n" + std::to_string(i) + " ";
  run(state, s.substr(0, LINE));
}
// Every join of every path begins a name of the folder: the longest chains of questions.
void BM_CmdlineJoinsThatAlmostExist(benchmark::State& state) {
  std::string chain = "zq://nx";
  while (chain.size() + 4 < 250) chain += " a";
  run(state, repeated(chain + " "));
}
void BM_CmdlineDistinctChains(benchmark::State& state) {
  std::string s;
  for (int i = 0; s.size() < LINE; ++i) {
    s += "zq://nx";
    for (int j = 0; j < 60; ++j) s += " a";
    s += " c" + std::to_string(i) + " ";
  }
  run(state, s.substr(0, LINE));
}

BENCHMARK(BM_CmdlineSamePathDrive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CmdlineSamePathScheme)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CmdlineOnePathShortTokens)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CmdlineDistinctPaths)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CmdlineJoinsThatAlmostExist)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CmdlineDistinctChains)->Unit(benchmark::kMillisecond);

}  // namespace
