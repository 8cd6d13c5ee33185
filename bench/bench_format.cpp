// text_printf against snprintf appending to a std::string, on a typical record line.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/format.h"

namespace {

const char kWord[] = "setup.log";

void BM_format_text_printf(benchmark::State& state) {
  Text* t = text_new();
  int i = 0;
  for (auto _ : state) {
    text_printf(t, "%d %s %id\n", i++, kWord, ID("CAB"));
    if (text_length(t) > (1 << 20)) text_clear(t);
  }
  benchmark::DoNotOptimize(text_length(t));
  text_free(t);
}
BENCHMARK(BM_format_text_printf);

void BM_format_snprintf_string(benchmark::State& state) {
  std::string s;
  int i = 0;
  for (auto _ : state) {
    char b[128];
    int n = snprintf(b, sizeof b, "%d %s %s\n", i++, kWord, "cab");
    s.append(b, (size_t)n);
    if (s.size() > (1 << 20)) s.clear();
  }
  benchmark::DoNotOptimize(s.data());
}
BENCHMARK(BM_format_snprintf_string);

// buf_printf into a caller's buffer against snprintf alone.
void BM_format_buf_printf(benchmark::State& state) {
  char b[128];
  int i = 0;
  for (auto _ : state) {
    buf_printf(b, sizeof b, "%d %s %id\n", i++, kWord, ID("CAB"));
    benchmark::DoNotOptimize(b);
  }
}
BENCHMARK(BM_format_buf_printf);

void BM_format_snprintf_buffer(benchmark::State& state) {
  char b[128];
  int i = 0;
  for (auto _ : state) {
    snprintf(b, sizeof b, "%d %s %s\n", i++, kWord, "cab");
    benchmark::DoNotOptimize(b);
  }
}
BENCHMARK(BM_format_snprintf_buffer);

}  // namespace
