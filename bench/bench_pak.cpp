// Building a package from a 17 MB folder of sources: pak_build on one thread and on every core,
// side by side with gzip -6 (zlib, one file after another) over the same files, each round taking
// the three in turn so that all see the same load on a shared machine. Wall-clock times; the
// counter "speedup" is one thread's time over all cores' time, and "all_cores_used" the CPU time
// of the all-cores build over its wall time (the cores it was given).
//
// The folder holds the writer's list of names, filled round-robin from the mixed corpus (the
// dictionaries, which are stored as they are, get a few KiB only).

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "bench/corpus.h"
#include "setup/pak.h"
#include "ui/notify.h"

namespace {

// The names pak_build reads from its folders (exe and bitmaps are the same folder here).
const char* const kSources[] = {
    "zqeditor.exe", "zq9utl.exe",     "zq9.txt",    "cmd9.txt",   "zq9s.mnu",   "filer.key",
    "ZOdo64.dll",   "cont9tr.txt",    "uninst.bat", "ime9.mnu",   "board9.mnu", "fopen.mnu",
    "webto.txt",    "tfiler.txt.pdf", "filer7.mnu", "sample.htm", "sample.tex", "roma.tsv",
    "hc01.bmp",     "hc02.bmp",       "hc03.bmp",   "hc04.bmp",   "hc05.bmp",   "hc06.bmp",
    "text.h",       "text64.ph",      "spell.dic",  "soundp.h",   "winqmc.ph",  "winx.ph",
    "winceqmc.ph",  "winxce.ph",      "wininet.ph", "winapi.txt", "mailer.txz", "qmac8.txt.pdf",
    "txtool.c",     "txmacro.c",      "txcust.c",   "txcalc.c",   "txiface.c",  "txproof.c",
    "txtag.c",      "txspeak.c",      "txlib.c",    "txwebto.c",  "txfiler.c",  "txndic.c",
    "txzq5.c",      "txzq7.c",        "txclib.c",   "txboard.c",  "txtex.c",    "txbib.c",
    "txhtml.c",     "txgrep.c",       "txicon.c",   "txcard.c",   "txedit.c",   "txplugin.c",
    "txdos.c"};
const char* const kDictionaries[] = {"dic1.ime", "dic2.ime", "dic3.ime"};

int quiet(NotifyKind, const char*, unsigned) {
  return NOTIFY_YES;
}

struct Folder {
  std::string root, src;  // src ends with '/'
  std::vector<std::string> files;
  size_t bytes = 0;
};

void write_file(const std::string& path, const void* p, size_t n) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(p, 1, n, f);
    std::fclose(f);
  }
}

const Folder& folder() {
  static Folder f;
  if (!f.files.empty()) return f;
  char tmpl[] = "/tmp/zqbench_pak.XXXXXX";
  if (!mkdtemp(tmpl)) return f;
  f.root = tmpl;
  f.src = f.root + "/src/";
  std::system(("mkdir -p '" + f.src + "' '" + f.root + "/gz'").c_str());
  const Corpus& c = mixed_corpus();
  const size_t n = sizeof kSources / sizeof kSources[0];
  std::vector<std::vector<uint8_t>> bucket(n);
  for (size_t k = 0; k < c.files.size(); ++k)
    bucket[k % n].insert(bucket[k % n].end(), c.files[k].begin(), c.files[k].end());
  for (size_t k = 0; k < n; ++k) {
    write_file(f.src + kSources[k], bucket[k].data(), bucket[k].size());
    f.files.push_back(kSources[k]);
    f.bytes += bucket[k].size();
  }
  for (const char* d : kDictionaries) {
    std::vector<uint8_t> small(c.files[0].begin(), c.files[0].begin() + 4096);
    write_file(f.src + d, small.data(), small.size());
    f.files.push_back(d);
    f.bytes += small.size();
  }
  std::fprintf(stderr, "package sources: %zu files, %zu bytes in %s\n", f.files.size(), f.bytes,
               f.src.c_str());
  std::atexit([] { std::system(("rm -rf '" + folder().root + "'").c_str()); });
  return f;
}

// Wall-clock and process CPU seconds (<chrono> does not build with the CP932 literals).
double clock_of(clockid_t id) {
  timespec t;
  clock_gettime(id, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}
double now() {
  return clock_of(CLOCK_MONOTONIC);
}
double cpu() {
  return clock_of(CLOCK_PROCESS_CPUTIME_ID);
}

bool build(const Folder& f, int threads) {
  std::string out = f.root + "/out.pak";
  PakBuildPaths paths = {f.src.c_str(), f.src.c_str(), f.src.c_str(), out.c_str(), threads};
  return pak_build(0, &paths);
}

// gzip -6 of every file of the folder into its own .gz, one after another.
bool gzip_all(const Folder& f) {
  bool ok = true;
  std::vector<uint8_t> in, out;
  for (const auto& name : f.files) {
    FILE* src = std::fopen((f.src + name).c_str(), "rb");
    if (!src) return false;
    std::fseek(src, 0, SEEK_END);
    in.resize((size_t)std::ftell(src));
    std::fseek(src, 0, SEEK_SET);
    in.resize(std::fread(in.data(), 1, in.size(), src));
    std::fclose(src);
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);  // gzip wrapper
    out.resize(deflateBound(&z, in.size()));
    z.next_in = in.data();
    z.avail_in = (uInt)in.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    ok = deflate(&z, Z_FINISH) == Z_STREAM_END && ok;
    write_file(f.root + "/gz/" + name + ".gz", out.data(), z.total_out);
    deflateEnd(&z);
  }
  return ok;
}

void BM_pak_build_one_all_gzip6(benchmark::State& state) {
  notify_set_sink(quiet);
  const Folder& f = folder();
  double one = 0, all = 0, gz = 0, all_cpu = 0;
  bool ok = !f.files.empty();
  for (auto _ : state) {
    double t0 = now();
    ok = build(f, 1) && ok;
    double t1 = now(), c1 = cpu();
    ok = build(f, 0) && ok;
    double t2 = now();
    all_cpu += cpu() - c1;
    ok = gzip_all(f) && ok;
    double t3 = now();
    one += t1 - t0;
    all += t2 - t1;
    gz += t3 - t2;
  }
  if (!ok) state.SkipWithError("a build or a gzip run failed");
  double mb = (double)state.iterations() * (double)f.bytes / 1e6;
  state.counters["one_MBps"] = mb / one;
  state.counters["all_MBps"] = mb / all;
  state.counters["gzip6_MBps"] = mb / gz;
  state.counters["speedup"] = one / all;
  state.counters["cores"] = (double)std::thread::hardware_concurrency();
  // Cores' worth of CPU the all-cores build got: a shared machine may give less than it asks.
  state.counters["all_cores_used"] = all_cpu / all;
  notify_set_sink(nullptr);
}

}  // namespace

BENCHMARK(BM_pak_build_one_all_gzip6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
