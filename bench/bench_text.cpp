// Text against std::string: typing into a large document, and appending in small pieces.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/text.h"

namespace {

// An 8 MiB document of lines of 60..80 bytes, the same every run.
const std::string& document() {
  static std::string doc = [] {
    std::string s;
    uint32_t seed = 1;
    while (s.size() < (8u << 20)) {
      seed = seed * 1103515245u + 12345u;
      int n = 60 + (seed >> 16) % 21;
      for (int i = 0; i < n; ++i) s += char('a' + (i * 7 + n) % 26);
      s += "\r\n";
    }
    return s;
  }();
  return doc;
}

// Where the cursor goes: forward 1..8 bytes after each keystroke, from the middle of the text.
const std::vector<int>& steps() {
  static std::vector<int> v = [] {
    std::vector<int> s;
    uint32_t seed = 7;
    for (int i = 0; i < 200000; ++i) {
      seed = seed * 1103515245u + 12345u;
      s.push_back(1 + (seed >> 16) % 8);
    }
    return s;
  }();
  return v;
}

void BM_TypingText(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    state.PauseTiming();
    Text* t = text_new();
    text_write(t, doc.c_str(), (int64_t)doc.size());
    text_seek(t, (int64_t)doc.size() / 2);
    state.ResumeTiming();
    for (int step : steps()) {
      text_write(t, "x", 1);
      text_skip(t, step);
    }
    state.PauseTiming();
    benchmark::DoNotOptimize(text_length(t));
    text_free(t);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)steps().size());
}
BENCHMARK(BM_TypingText)->Unit(benchmark::kMillisecond);

void BM_TypingString(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    state.PauseTiming();
    std::string s = doc;
    size_t pos = s.size() / 2;
    state.ResumeTiming();
    for (int step : steps()) {
      s.insert(pos, 1, 'x');
      pos += 1 + step;
    }
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)steps().size());
}
BENCHMARK(BM_TypingString)->Unit(benchmark::kMillisecond)->Iterations(1);

constexpr int64_t kAppendTotal = 64 << 20;
const char kPiece[17] = "0123456789abcde\n";

void BM_AppendText(benchmark::State& state) {
  for (auto _ : state) {
    Text* t = text_new();
    for (int64_t n = 0; n < kAppendTotal; n += 16) text_write(t, kPiece, 16);
    benchmark::DoNotOptimize(text_length(t));
    text_free(t);
  }
  state.SetBytesProcessed(state.iterations() * kAppendTotal);
}
BENCHMARK(BM_AppendText)->Unit(benchmark::kMillisecond);

void BM_AppendString(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    for (int64_t n = 0; n < kAppendTotal; n += 16) s.append(kPiece, 16);
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(state.iterations() * kAppendTotal);
}
BENCHMARK(BM_AppendString)->Unit(benchmark::kMillisecond);

}  // namespace
