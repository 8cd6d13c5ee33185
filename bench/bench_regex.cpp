// Regular-expression search against Oniguruma (Shift_JIS encoding) and std::regex on the same
// bytes: each counts every match of six patterns in a 16 MiB Shift-JIS corpus.
//
// The corpus is made at start from the Japanese manual pages of the package manpages-ja
// (/usr/share/man/ja, gzip'd UTF-8), turned into Shift-JIS with iconv and repeated to size.
// After a match the next search starts at its end (one byte further after an empty one).
// std::regex sees bytes, so its counts may differ where a trail byte looks like ASCII.

#include <benchmark/benchmark.h>
#include <oniguruma.h>

#include <cstring>
#include <regex>
#include <string>

#include "bench/corpus.h"
#include "core/codepage.h"
#include "core/ids.h"
#include "regex/regex.h"

namespace {

const size_t kCorpusSize = 16u << 20;

const std::string& corpus() {
  static std::string c;
  if (!c.empty()) return c;
  std::string once = iconv_all(japanese_manpages_utf8(), "CP932", "UTF-8");
  if (once.empty()) return c;
  while (c.size() < kCorpusSize) c += once;
  c.resize(kCorpusSize);
  // Do not end inside a character.
  while (!c.empty() && (unsigned char)c.back() >= 0x80) c.pop_back();
  return c;
}

struct Pattern {
  const char* name;
  const char8_t* utf8;  // UTF-8 whatever the execution character set
};

const Pattern kPatterns[] = {
    {"ascii_word", u8"file"},
    {"japanese_literal", u8"ファイル"},
    {"digits", u8"[0-9]+"},
    {"five_words", u8"ファイル|ディレクトリ|オプション|コマンド|ユーザー"},
    {"line_start", u8"^\\.SH"},
    {"back_reference", u8"([a-z])\\1"},
};

std::string sjis_pattern(int i) {
  return iconv_all((const char*)kPatterns[i].utf8, "CP932", "UTF-8");
}

long count_zq(RegexProgram* prog, const std::string& text) {
  const char* t = text.data();
  long n = (long)text.size(), pos = 0, count = 0;
  while (pos <= n) {
    unsigned range = 0;
    if (pos > 0) {
      if (t[pos - 1] != '\n') range |= REGEX_NOT_BOL;
      long s = regex_prev_char(t, pos, n, false);
      if (pos - s == 1 && char_is((unsigned char)t[s], CC_IDENT)) range |= REGEX_PREV_WORD;
    }
    long len = 0;
    const char* m = regex_search(prog, t + pos, n - pos, range, &len);
    if (!m) break;
    ++count;
    pos = (m - t) + (len ? len : 1);
  }
  return count;
}

void BM_RegexZq(benchmark::State& state) {
  const std::string& text = corpus();
  if (text.empty()) return state.SkipWithError("no corpus (manpages-ja not installed?)");
  std::string pattern = sjis_pattern((int)state.range(0));
  RegexProgram* prog = regex_new(pattern.c_str(), 0, 0, 0);
  if (!prog) return state.SkipWithError("pattern does not compile");
  long count = 0;
  for (auto _ : state) benchmark::DoNotOptimize(count = count_zq(prog, text));
  regex_free(prog);
  state.counters["matches"] = (double)count;
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
  state.SetLabel(kPatterns[state.range(0)].name);
}

void BM_RegexOniguruma(benchmark::State& state) {
  const std::string& text = corpus();
  if (text.empty()) return state.SkipWithError("no corpus (manpages-ja not installed?)");
  std::string pattern = sjis_pattern((int)state.range(0));
  OnigEncoding enc = ONIG_ENCODING_SJIS;
  onig_initialize(&enc, 1);
  regex_t* reg = nullptr;
  OnigErrorInfo einfo;
  const UChar* p = (const UChar*)pattern.data();
  if (onig_new(&reg, p, p + pattern.size(), ONIG_OPTION_NONE, ONIG_ENCODING_SJIS, ONIG_SYNTAX_RUBY,
               &einfo) != ONIG_NORMAL)
    return state.SkipWithError("onig_new failed");
  OnigRegion* region = onig_region_new();
  const UChar* t = (const UChar*)text.data();
  const UChar* end = t + text.size();
  long count = 0;
  for (auto _ : state) {
    count = 0;
    const UChar* s = t;
    while (s <= end) {
      long r = onig_search(reg, t, end, s, end, region, ONIG_OPTION_NONE);
      if (r < 0) break;
      ++count;
      long e = region->end[0];
      s = t + (e > r ? e : r + 1);
    }
    benchmark::DoNotOptimize(count);
  }
  onig_region_free(region, 1);
  onig_free(reg);
  state.counters["matches"] = (double)count;
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
  state.SetLabel(kPatterns[state.range(0)].name);
}

// std::regex reads bytes: a trail byte that is an ASCII metacharacter (the 0x5B of the long
// vowel mark, the 0x5C of some katakana) is escaped so that the pattern means the same bytes.
std::string std_pattern(const std::string& sjis) {
  std::string out;
  for (size_t i = 0; i < sjis.size(); ++i) {
    unsigned char b = (unsigned char)sjis[i];
    out += (char)b;
    bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (lead && i + 1 < sjis.size()) {
      char t = sjis[++i];
      if (std::strchr("[]\\^$.|?*+(){}", t)) out += '\\';
      out += t;
    }
  }
  return out;
}

void BM_RegexStd(benchmark::State& state) {
  const std::string& text = corpus();
  if (text.empty()) return state.SkipWithError("no corpus (manpages-ja not installed?)");
  std::string pattern = sjis_pattern((int)state.range(0));
  std::regex re(std_pattern(pattern), std::regex::ECMAScript | std::regex::multiline);
  long count = 0;
  for (auto _ : state) {
    count = 0;
    for (std::cregex_iterator it(text.data(), text.data() + text.size(), re), e; it != e; ++it)
      ++count;
    benchmark::DoNotOptimize(count);
  }
  state.counters["matches"] = (double)count;
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
  state.SetLabel(kPatterns[state.range(0)].name);
}

BENCHMARK(BM_RegexZq)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegexOniguruma)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegexStd)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
