// Fuzz target: compiles a fuzzed pattern and searches a fuzzed text with the guards on, forwards
// and backwards, and checks the engine against the tests' plain reference walk.
//
// Input: one byte of options, the pattern up to the first NUL byte, the text after it.

#include "regex/regex.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "regex/regex_internal.h"
#include "tests/regex/reference.cpp"
#include "ui/notify.h"

namespace {
int quiet(NotifyKind, const char*, unsigned) {
  return NOTIFY_YES;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reference walk recurses once per step of a match: 2 KiB keeps it within the native stack
  // now that the engine itself allows much deeper walks.
  if (size < 2 || size > 2048) return 0;
  notify_set_sink(quiet);
  uint8_t opt = data[0];
  const char* rest = (const char*)data + 1;
  size_t rest_size = size - 1;
  const char* nul = (const char*)memchr(rest, 0, rest_size);
  std::string pattern(rest, nul ? (size_t)(nul - rest) : rest_size);
  std::string text = nul ? std::string(nul + 1, rest + rest_size) : std::string();
  if (pattern.size() > 512) return 0;

  unsigned options = (opt & 1) ? REGEX_ICASE : 0u;
  unsigned mopts = REGEX_LOW_STEPS | ((opt & 2) ? REGEX_BYTES : 0u);
  unsigned flags = (opt & 4) ? REGEX_FLAG_EMPTY : 0u;
  unsigned search = (opt >> 3) & 7;
  if (opt & 0x40) search |= REGEX_BACKWARD;

  RegexProgram* prog = regex_new(pattern.c_str(), options, mopts, flags);
  if (!prog) return 0;
  long len = 0;
  const char* m = regex_search(prog, text.data(), (long)text.size(), search, &len);
  RefMatch want = ref_search(prog, text, search);
  if ((m != nullptr) != want.found) abort();
  if (m) {
    if (m - text.data() != want.start || len != want.length) abort();
    for (int k = 0; k < regex_tag_count(prog); ++k) {
      long tl = 0;
      const char* t = regex_tag(prog, k, &tl, REGEX_TAG_POSITION);
      long begin = t ? t - text.data() : -1;
      if (begin != want.tag_begin[k]) abort();
      if (t && tl != want.tag_end[k] - want.tag_begin[k]) abort();
      const char* copy = regex_tag(prog, k, &tl, 0);
      if (t && (!copy || memcmp(copy, t, (size_t)tl) != 0)) abort();
    }
  }
  regex_free(prog);
  return 0;
}
