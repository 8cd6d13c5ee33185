// Character-code conversion and detection against glibc's iconv doing the same conversion.
//
// The corpus (16 MiB of Shift-JIS) is made at start from the Japanese manual pages of the
// package manpages-ja (/usr/share/man/ja), repeated to size; its EUC-JP, UTF-8, UTF-16 and JIS
// forms are made from it with iconv. The peer converts into a buffer made before the timing loop;
// our side builds a new Text each time.

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "bench/corpus.h"
#include "core/codepage.h"
#include "core/text.h"
#include "files/codes.h"

namespace {

const size_t kCorpusSize = 16u << 20;

struct Corpus {
  std::string sjis, euc, utf8, utf16, jis;
  bool ok = false;
};

const Corpus& corpus() {
  static Corpus c;
  static bool made = false;
  if (made) return c;
  made = true;
  std::string utf8 = japanese_manpages_utf8();
  if (utf8.size() < 100000) return c;
  // Only what both Shift-JIS and EUC-JP hold, so that every form carries the same text.
  std::string sjis = iconv_all(iconv_all(utf8, "EUC-JP-MS", "UTF-8"), "CP932", "EUC-JP-MS");
  // Line ends as the internal text holds them.
  std::string crlf;
  crlf.reserve(sjis.size() + sjis.size() / 16);
  for (char ch : sjis) {
    if (ch == '\n') crlf += '\r';
    crlf += ch;
  }
  while (c.sjis.size() < kCorpusSize) c.sjis += crlf;
  c.sjis.resize(kCorpusSize);
  // Do not end in the middle of a character.
  size_t cut = c.sjis.rfind('\n');
  c.sjis.resize(cut + 1);
  c.euc = iconv_all(c.sjis, "EUC-JP-MS", "CP932");
  c.utf8 = iconv_all(c.sjis, "UTF-8", "CP932");
  c.utf16 = iconv_all(c.sjis, "UTF-16LE", "CP932");
  c.jis = iconv_all(c.sjis, "ISO-2022-JP", "CP932");
  c.ok = !c.euc.empty() && !c.utf8.empty() && !c.utf16.empty();
  return c;
}

const std::string* input_of(int which) {
  const Corpus& c = corpus();
  switch (which) {
    case 0:
      return &c.sjis;
    case 1:
      return &c.euc;
    case 2:
      return &c.utf8;
    case 3:
      return &c.utf16;
    case 4:
      return &c.jis;
  }
  return nullptr;
}

// The four pairs: input form, our code, iconv's target and source.
struct Pair {
  const char* name;
  int input;
  bool to_file;  // bytes_to_code (else bytes_from_code)
  PackedId code;
  const char* iconv_to;
  const char* iconv_from;
};
const Pair kPairs[] = {
    {"sjis_to_utf8", 0, true, CODE_UTF, "UTF-8", "CP932"},
    {"euc_to_internal", 1, false, CODE_EUC, "CP932", "EUC-JP-MS"},
    {"utf8_to_internal", 2, false, CODE_UTF, "CP932", "UTF-8"},
    {"internal_to_utf16", 0, true, CODE_UNIB, "UTF-16LE", "CP932"},
};

void BM_codes(benchmark::State& state) {
  const Pair& p = kPairs[state.range(0)];
  if (!corpus().ok) {
    state.SkipWithError("no corpus: install manpages-ja");
    return;
  }
  const std::string& in = *input_of(p.input);
  codepage_tables();
  int64_t out = 0;
  for (auto _ : state) {
    Text* t = p.to_file ? bytes_to_code(in.data(), int64_t(in.size()), p.code, CODE_NO_MARK)
                        : bytes_from_code(in.data(), int64_t(in.size()), p.code);
    if (!t) {
      state.SkipWithError("conversion failed");
      return;
    }
    out = text_length(t);
    text_free(t);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
  state.counters["out_bytes"] = double(out);
  state.SetLabel(p.name);
}

void BM_codes_iconv(benchmark::State& state) {
  const Pair& p = kPairs[state.range(0)];
  if (!corpus().ok) {
    state.SkipWithError("no corpus: install manpages-ja");
    return;
  }
  const std::string& in = *input_of(p.input);
  iconv_t cd = iconv_open(p.iconv_to, p.iconv_from);
  std::string out(in.size() * 3 + 16, '\0');
  size_t produced = 0;
  for (auto _ : state) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char* dst = out.data();
    size_t room = out.size();
    if (iconv(cd, &src, &left, &dst, &room) == (size_t)-1) {
      state.SkipWithError("iconv failed");
      break;
    }
    produced = out.size() - room;
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
  state.counters["out_bytes"] = double(produced);
  state.SetLabel(p.name);
}

void BM_code_detect(benchmark::State& state) {
  if (!corpus().ok) {
    state.SkipWithError("no corpus: install manpages-ja");
    return;
  }
  static const char* names[] = {"sjis", "euc", "utf8", "utf16", "jis"};
  const std::string& in = *input_of(int(state.range(0)));
  PackedId code = 0;
  for (auto _ : state) {
    code = code_detect_bytes(in.data(), int64_t(in.size()));
    benchmark::DoNotOptimize(code);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
  char id[8];
  state.SetLabel(std::string(names[state.range(0)]) + " -> " + (code ? id_unpack(code, id) : "0"));
}

BENCHMARK(BM_codes)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_codes_iconv)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_code_detect)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

}  // namespace
