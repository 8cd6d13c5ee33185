// The package codec against zlib on one mixed corpus of the machine's own texts and executables
// (at least 16 MiB, each file compressed on its own, as a package does): decode output MB/s
// against inflate, encode input MB/s against deflate levels 1 and 6, and the encoder against the
// plain reference of its search rule (on the first MiB of the corpus: the reference is slow).
// The counter "ratio" is compressed size / input size.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench/corpus.h"
#include "setup/lz.h"
#include "tests/setup/pak/lz_reference.h"

namespace {

typedef std::vector<uint8_t> Bytes;

const Corpus& corpus() {
  return mixed_corpus();
}

// The first MiB of the corpus, for the reference.
const Corpus& small_corpus() {
  static Corpus s;
  if (s.files.empty()) {
    for (const auto& f : corpus().files) {
      if (s.bytes >= (1u << 20)) break;
      s.files.push_back(f);
      s.bytes += f.size();
    }
  }
  return s;
}

typedef uint8_t* (*Encoder)(const void* bytes, size_t n, size_t* out_length, const LzKey* key);

void lz_encode_on(benchmark::State& state, const Corpus& c, Encoder encode = lz_encode) {
  size_t out = 0;
  for (auto _ : state) {
    out = 0;
    for (const auto& f : c.files) {
      size_t n = 0;
      uint8_t* s = encode(f.data(), f.size(), &n, nullptr);
      out += n;
      std::free(s);
    }
  }
  state.SetBytesProcessed((int64_t)(state.iterations() * c.bytes));
  state.counters["ratio"] = (double)out / (double)c.bytes;
}

void BM_lz_encode(benchmark::State& state) {
  lz_encode_on(state, corpus());
}
void BM_lz_encode_first_mib(benchmark::State& state) {
  lz_encode_on(state, small_corpus());
}

void BM_lz_encode_reference_first_mib(benchmark::State& state) {
  lz_encode_on(state, small_corpus(), lz_encode_reference);
}

void BM_zlib_deflate(benchmark::State& state) {
  const Corpus& c = corpus();
  int level = (int)state.range(0);
  Bytes buf;
  size_t out = 0;
  for (auto _ : state) {
    out = 0;
    for (const auto& f : c.files) {
      uLongf n = compressBound(f.size());
      if (buf.size() < n) buf.resize(n);
      compress2(buf.data(), &n, f.data(), f.size(), level);
      out += n;
    }
  }
  state.SetBytesProcessed((int64_t)(state.iterations() * c.bytes));
  state.counters["ratio"] = (double)out / (double)c.bytes;
}

// The encoder and deflate level 6 file by file in turn, each timed on the thread's CPU clock, so
// that both see the same load on a shared machine; "speed" is encoder MiB/s over deflate's.
double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

void BM_lz_encode_vs_deflate6(benchmark::State& state) {
  const Corpus& c = corpus();
  Bytes buf;
  double lz = 0, zl = 0;
  for (auto _ : state) {
    for (const auto& f : c.files) {
      double t0 = cpu_seconds();
      size_t n = 0;
      uint8_t* s = lz_encode(f.data(), f.size(), &n, nullptr);
      std::free(s);
      double t1 = cpu_seconds();
      uLongf zn = compressBound(f.size());
      if (buf.size() < zn) buf.resize(zn);
      compress2(buf.data(), &zn, f.data(), f.size(), 6);
      double t2 = cpu_seconds();
      lz += t1 - t0;
      zl += t2 - t1;
    }
  }
  double mib = (double)state.iterations() * (double)c.bytes / 1048576.0;
  state.counters["lz_MiBps"] = mib / lz;
  state.counters["deflate6_MiBps"] = mib / zl;
  state.counters["speed"] = zl / lz;
}

void BM_lz_decode(benchmark::State& state) {
  const Corpus& c = corpus();
  static std::vector<Bytes> streams;
  if (streams.empty()) {
    for (const auto& f : c.files) {
      size_t n = 0;
      uint8_t* s = lz_encode(f.data(), f.size(), &n, nullptr);
      streams.emplace_back(s, s + n);
      std::free(s);
    }
  }
  for (auto _ : state) {
    for (const auto& s : streams) {
      size_t n = 0;
      uint8_t* d = lz_decode(s.data(), s.size(), nullptr, &n);
      benchmark::DoNotOptimize(d);
      std::free(d);
    }
  }
  state.SetBytesProcessed((int64_t)(state.iterations() * c.bytes));
}

void BM_zlib_inflate(benchmark::State& state) {
  const Corpus& c = corpus();
  static std::vector<Bytes> streams;
  if (streams.empty()) {
    for (const auto& f : c.files) {
      uLongf n = compressBound(f.size());
      Bytes z(n);
      compress2(z.data(), &n, f.data(), f.size(), 6);
      z.resize(n);
      streams.push_back(std::move(z));
    }
  }
  Bytes out;
  for (auto _ : state) {
    for (size_t k = 0; k < streams.size(); ++k) {
      uLongf n = c.files[k].size();
      if (out.size() < n + 1) out.resize(n + 1);
      uncompress(out.data(), &n, streams[k].data(), streams[k].size());
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed((int64_t)(state.iterations() * c.bytes));
}

}  // namespace

BENCHMARK(BM_lz_decode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_zlib_inflate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_lz_encode)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_zlib_deflate)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_lz_encode_vs_deflate6)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_lz_encode_first_mib)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_lz_encode_reference_first_mib)->Unit(benchmark::kMillisecond)->Iterations(1);
