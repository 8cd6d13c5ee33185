// The package codec against zlib on one mixed corpus of the machine's own texts and executables
// (at least 16 MiB, each file compressed on its own, as a package does): decode output MB/s
// against inflate, encode input MB/s against deflate levels 1 and 6, and the encoder against the
// plain reference of its search rule (on the first MiB of the corpus: the reference is slow).
// The counter "ratio" is compressed size / input size.
//
// Decoding is also measured on the package the set-up utility ships (its compressed entries as
// they are stored, against inflate of the same files at level 6): the package of the win64 build,
// or the file named by $ZQ_BENCH_PACKAGE. The "_vs_inflate" benchmarks decode file by file in
// turn with inflate, each timed on the thread's CPU clock, so that both see the same load on a
// shared machine; their counter "speed" is inflate's CPU time over the decoder's.

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
#include "files/file.h"
#include "setup/lz.h"
#include "setup/pak.h"
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

double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

// Ours and the peer file by file in turn, each timed on the thread's CPU clock, so that both see
// the same load on a shared machine; "speed" is our MiB/s over the peer's. Each side takes a file
// number and returns false when it failed.
template <class Ours, class Peer>
void side_by_side(benchmark::State& state, size_t files, size_t bytes, const char* peer_name,
                  Ours ours, Peer peer) {
  double us = 0, them = 0;
  for (auto _ : state) {
    for (size_t k = 0; k < files; ++k) {
      double t0 = cpu_seconds();
      bool a = ours(k);
      double t1 = cpu_seconds();
      bool b = peer(k);
      double t2 = cpu_seconds();
      if (!a || !b) return state.SkipWithError("a file came out wrong");
      us += t1 - t0;
      them += t2 - t1;
    }
  }
  double mib = (double)state.iterations() * (double)bytes / 1048576.0;
  state.counters["lz_MiBps"] = mib / us;
  state.counters[peer_name] = mib / them;
  state.counters["speed"] = them / us;
}

// The encoder against deflate level 6.
void BM_lz_encode_vs_deflate6(benchmark::State& state) {
  const Corpus& c = corpus();
  Bytes buf;
  side_by_side(
      state, c.files.size(), c.bytes, "deflate6_MiBps",
      [&](size_t k) {
        size_t n = 0;
        uint8_t* s = lz_encode(c.files[k].data(), c.files[k].size(), &n, nullptr);
        bool ok = s != nullptr;
        std::free(s);
        return ok;
      },
      [&](size_t k) {
        uLongf zn = compressBound(c.files[k].size());
        if (buf.size() < zn) buf.resize(zn);
        return compress2(buf.data(), &zn, c.files[k].data(), c.files[k].size(), 6) == Z_OK;
      });
}

// Files side by side: each as an lz stream and as a zlib stream (deflate 6).
struct DecodeSet {
  std::vector<Bytes> lz, zlib;
  std::vector<size_t> sizes;
  size_t bytes = 0;
};

void add_file(DecodeSet* set, const uint8_t* data, size_t n, const uint8_t* stream, size_t sn) {
  set->lz.emplace_back(stream, stream + sn);
  uLongf zn = compressBound(n);
  Bytes z(zn);
  compress2(z.data(), &zn, data, n, 6);
  z.resize(zn);
  set->zlib.push_back(std::move(z));
  set->sizes.push_back(n);
  set->bytes += n;
}

const DecodeSet& corpus_set() {
  static DecodeSet set;
  if (set.lz.empty()) {
    for (const auto& f : corpus().files) {
      size_t n = 0;
      uint8_t* s = lz_encode(f.data(), f.size(), &n, nullptr);
      add_file(&set, f.data(), f.size(), s, n);
      std::free(s);
    }
  }
  return set;
}

bool add_entry(void* context, const PakEntry* e) {
  if (!e->compressed) return true;
  size_t n = 0;
  uint8_t* data = pak_entry_data(e, &n);
  if (data) add_file((DecodeSet*)context, data, n, e->data, e->size);
  std::free(data);
  return true;
}

// The compressed entries of the shipped package, as stored.
const DecodeSet& package_set() {
  static DecodeSet set;
  static bool tried;
  if (!tried) {
    tried = true;
    const char* path = std::getenv("ZQ_BENCH_PACKAGE");
    if (!path) path = "build/win64/package/_zq64_.pak";
    size_t n = 0;
    uint8_t* bytes = file_read_all(path, &n);
    PakBlock pak;
    if (bytes && pak_block(bytes, n, &pak)) {
      pak_walk(&pak, add_entry, &set);
      std::printf("package: %s, %zu compressed entries, %zu bytes decoded\n", path, set.lz.size(),
                  set.bytes);
    }
    std::free(bytes);
  }
  return set;
}

size_t decode_lz(const Bytes& s) {
  size_t n = 0;
  uint8_t* d = lz_decode(s.data(), s.size(), nullptr, &n);
  benchmark::DoNotOptimize(d);
  std::free(d);
  return n;
}

size_t inflate_zlib(const Bytes& z, size_t size, Bytes* out) {
  uLongf n = size;
  if (out->size() < n + 1) out->resize(n + 1);
  uncompress(out->data(), &n, z.data(), z.size());
  benchmark::DoNotOptimize(out->data());
  return n;
}

void decode_on(benchmark::State& state, const DecodeSet& set) {
  if (set.lz.empty()) return state.SkipWithError("no package (build the win64 preset first)");
  for (auto _ : state)
    for (const auto& s : set.lz) decode_lz(s);
  state.SetBytesProcessed((int64_t)(state.iterations() * set.bytes));
}

void inflate_on(benchmark::State& state, const DecodeSet& set) {
  if (set.lz.empty()) return state.SkipWithError("no package (build the win64 preset first)");
  Bytes out;
  for (auto _ : state)
    for (size_t k = 0; k < set.zlib.size(); ++k) inflate_zlib(set.zlib[k], set.sizes[k], &out);
  state.SetBytesProcessed((int64_t)(state.iterations() * set.bytes));
}

void decode_vs_inflate_on(benchmark::State& state, const DecodeSet& set) {
  if (set.lz.empty()) return state.SkipWithError("no package (build the win64 preset first)");
  Bytes out;
  side_by_side(
      state, set.lz.size(), set.bytes, "inflate_MiBps",
      [&](size_t k) { return decode_lz(set.lz[k]) == set.sizes[k]; },
      [&](size_t k) { return inflate_zlib(set.zlib[k], set.sizes[k], &out) == set.sizes[k]; });
}

void BM_lz_decode(benchmark::State& state) {
  decode_on(state, corpus_set());
}
void BM_zlib_inflate(benchmark::State& state) {
  inflate_on(state, corpus_set());
}
void BM_lz_decode_vs_inflate(benchmark::State& state) {
  decode_vs_inflate_on(state, corpus_set());
}
void BM_lz_decode_package(benchmark::State& state) {
  decode_on(state, package_set());
}
void BM_zlib_inflate_package(benchmark::State& state) {
  inflate_on(state, package_set());
}
void BM_lz_decode_vs_inflate_package(benchmark::State& state) {
  decode_vs_inflate_on(state, package_set());
}

}  // namespace

BENCHMARK(BM_lz_decode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_zlib_inflate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_lz_decode_vs_inflate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_lz_decode_package)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_zlib_inflate_package)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_lz_decode_vs_inflate_package)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_lz_encode)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_zlib_deflate)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_lz_encode_vs_deflate6)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_lz_encode_first_mib)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_lz_encode_reference_first_mib)->Unit(benchmark::kMillisecond)->Iterations(1);
