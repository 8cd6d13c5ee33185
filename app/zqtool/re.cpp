// zqtool re: regular-expression search over a file.
//
//   zqtool re [-i] [--bytes] [--backward] [--empty] [--count] PATTERN FILE
//
// FILE is read with code detection into the internal form; PATTERN comes from the terminal
// (UTF-8 natively, code page 932 on Windows) and arrives in the internal form. Every
// match prints one line: its byte offset in the internal text, TAB, its length, then per tag TAB
// and "start,length" or "-". After a match the next search starts at its end (one character
// further after an empty match); backwards, it ends at the match's start. --count prints only
// the number of matches. Exit status: 0 with matches, 1 without, 2 for a bad pattern or usage.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/zqtool/tool.h"
#include "core/ids.h"
#include "core/text.h"
#include "files/codes.h"
#include "files/file.h"
#include "regex/regex.h"

namespace {

const char kUsage[] = "  re [-i] [--bytes] [--backward] [--empty] [--count] PATTERN FILE\n";

struct Options {
  bool icase = false, bytes = false, backward = false, empty = false, count = false;
};

bool word_char(const char* t, long p, long n, bool bytes) {
  long len = regex_char_length(t, p, n, bytes);
  return len == 1 && char_is((unsigned char)t[p], CC_IDENT);
}

void print_match(RegexProgram* prog, const char* text, const char* m, long len) {
  std::printf("%ld\t%ld", (long)(m - text), len);
  for (int k = 0; k < regex_tag_count(prog); ++k) {
    long tl = 0;
    const char* tp = regex_tag(prog, k, &tl, REGEX_TAG_POSITION);
    if (tp)
      std::printf("\t%ld,%ld", (long)(tp - text), tl);
    else
      std::printf("\t-");
  }
  std::printf("\n");
}

long search_all(RegexProgram* prog, const char* t, long n, const Options& o) {
  long count = 0;
  if (!o.backward) {
    long pos = 0;
    while (pos <= n) {
      unsigned range = 0;
      if (pos > 0 && t[pos - 1] != '\n') range |= REGEX_NOT_BOL;
      if (pos > 0 && word_char(t, regex_prev_char(t, pos, n, o.bytes), n, o.bytes))
        range |= REGEX_PREV_WORD;
      long len = 0;
      const char* m = regex_search(prog, t + pos, n - pos, range, &len);
      if (!m) break;
      ++count;
      if (!o.count) print_match(prog, t, m, len);
      long end = (m - t) + len;
      if (len == 0) {
        if (end >= n) break;
        end += regex_char_length(t, end, n, o.bytes);
      }
      pos = end;
    }
  } else {
    long end = n;
    while (end >= 0) {
      unsigned range = REGEX_BACKWARD;
      if (end < n && !char_is((unsigned char)t[end], CC_EOL)) range |= REGEX_NOT_EOL;
      long len = 0;
      const char* m = regex_search(prog, t, end, range, &len);
      if (!m) break;
      ++count;
      if (!o.count) print_match(prog, t, m, len);
      long start = m - t;
      if (len == 0) {
        if (start == 0) break;
        start = regex_prev_char(t, start, n, o.bytes);
      }
      end = start;
    }
  }
  return count;
}

int run(int argc, char** argv) {
  Options o;
  const char* args[2] = {nullptr, nullptr};
  int nargs = 0;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "-i") == 0)
      o.icase = true;
    else if (std::strcmp(a, "--bytes") == 0)
      o.bytes = true;
    else if (std::strcmp(a, "--backward") == 0)
      o.backward = true;
    else if (std::strcmp(a, "--empty") == 0)
      o.empty = true;
    else if (std::strcmp(a, "--count") == 0)
      o.count = true;
    else if (nargs < 2 && (a[0] != '-' || a[1] == 0 || nargs == 0))
      args[nargs++] = a;
    else
      return tool_fail(2, "re: unexpected argument '%s'\n%s", a, kUsage);
  }
  if (nargs != 2) return tool_fail(2, "re: PATTERN and FILE needed\n%s", kUsage);

  size_t size = 0;
  char* raw = (char*)file_read_all(args[1], &size);
  if (!raw) return tool_fail(2, "re: cannot read %s", args[1]);
  Text* converted = nullptr;
  const char* text = raw;
  long n = (long)size;
  PackedId code = code_detect_bytes(raw, size);
  if (code && code != CODE_SJIS && code != CODE_SJISEX && code != CODE_ASCII) {
    converted = bytes_from_code(raw, size, code);
    if (!converted) {
      std::free(raw);
      return tool_fail(2, "re: cannot convert %s to the internal form", args[1]);
    }
    // The whole converted text (text_view would give the cursor's line only).
    text = text_cstr(converted);
    n = (long)text_length(converted);
  }

  RegexProgram* prog = regex_new(args[0], o.icase ? REGEX_ICASE : 0u, o.bytes ? REGEX_BYTES : 0u,
                                 o.empty ? REGEX_FLAG_EMPTY : 0u);
  int status = 2;  // the compiler has put its message on stderr
  if (prog) {
    long count = search_all(prog, text, n, o);
    if (o.count) std::printf("%ld\n", count);
    status = count > 0 ? 0 : 1;
    regex_free(prog);
  }
  text_free(converted);
  std::free(raw);
  return status;
}

const ToolCommand cmd = {"re", kUsage, run};
ToolRegistrar reg(&cmd);

}  // namespace
