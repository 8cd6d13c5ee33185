// The code-page layer: both builds against one reference table of code page 932, the SJIS-EX
// escapes, and the buffer rules of to_wide / to_narrow.

#include "core/codepage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string table_path() {
  const char* src = std::getenv("ZQ_SOURCE_DIR");
  return std::string(src ? src : ".") + "/tests/files/codes/cp932.tsv";
}

// The reference: "D code unit" for every byte or pair that reads as a real character, and
// "E unit code" for every unit that has a Shift-JIS form. Everything else reads as the default
// unit or is written as an escape.
struct Reference {
  std::vector<int> wide = std::vector<int>(65536, -1);
  std::vector<int> narrow = std::vector<int>(65536, -1);
  bool loaded = false;
};

Reference load_reference() {
  Reference r;
  FILE* f = std::fopen(table_path().c_str(), "r");
  if (!f) return r;
  char line[128];
  while (std::fgets(line, sizeof line, f)) {
    char kind;
    unsigned a, b;
    if (std::sscanf(line, "%c %x %x", &kind, &a, &b) != 3 || a > 0xFFFF) continue;
    if (kind == 'D') r.wide[a] = int(b);
    if (kind == 'E') r.narrow[a] = int(b);
  }
  std::fclose(f);
  r.loaded = true;
  return r;
}

bool is_lead(unsigned b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool is_trail(unsigned b) {
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// Writes the reference from this build's tables (run once natively: ZQ_WRITE_CP932=path).
void write_reference(const char* path) {
  const CodepageTables* t = codepage_tables();
  FILE* f = std::fopen(path, "w");
  ASSERT_TRUE(f);
  std::fprintf(f,
               "# Code page 932 as the runtime reads (D code unit) and writes (E unit code) it.\n");
  for (unsigned c = 0; c < 65536; ++c) {
    bool single = c < 256 && !is_lead(c);
    bool pair = is_lead(c >> 8) && is_trail(c & 0xFF);
    if (!single && !pair) continue;
    bool real = t->wide[c] != CP_DEFAULT_UNIT || (t->narrow[CP_DEFAULT_UNIT] == c);
    if (real) std::fprintf(f, "D %04X %04X\n", c, t->wide[c]);
  }
  for (unsigned u = 0; u < 65536; ++u)
    if (t->narrow[u] != CP_NO_FORM) std::fprintf(f, "E %04X %04X\n", u, t->narrow[u]);
  std::fclose(f);
}

TEST(Codepage, BothBuildsAgreeWithTheReferenceTable) {
  if (const char* out = std::getenv("ZQ_WRITE_CP932")) write_reference(out);
  Reference ref = load_reference();
  ASSERT_TRUE(ref.loaded) << table_path();
  // Every byte and pair through to_wide, every unit through to_narrow.
  int bad = 0;
  for (unsigned c = 0; c < 65536 && bad < 20; ++c) {
    bool single = c < 256 && !is_lead(c);
    bool pair = is_lead(c >> 8) && is_trail(c & 0xFF);
    if (!single && !pair) continue;
    char mb[2] = {char(c >> 8), char(c)};
    char16_t w[4] = {};
    int n = single ? to_wide(mb + 1, 1, w, 4) : to_wide(mb, 2, w, 4);
    int want = ref.wide[c] >= 0 ? ref.wide[c] : CP_DEFAULT_UNIT;
    if (c == 0x80 || c == 0xA0) want = ref.wide[c];
    if (n != 1 || w[0] != want) {
      ADD_FAILURE() << std::hex << "read " << c << " -> " << int(w[0]) << " want " << want;
      ++bad;
    }
  }
  for (unsigned u = 0; u < 65536 && bad < 40; ++u) {
    char16_t w = char16_t(u);
    char out[8];
    int n = to_narrow(&w, 1, out, 8);
    std::string got(out, size_t(n > 0 ? n : 0));
    std::string want;
    int c = ref.narrow[u];
    if (c >= 0x100)
      want = {char(c >> 8), char(c)};
    else if (c >= 0)
      want = {char(c)};
    else {
      char e[3];
      cp_put_escape(u, e);
      want.assign(e, 3);
    }
    if (got != want) {
      ADD_FAILURE() << std::hex << "write U+" << u << " gives " << got.size() << " bytes";
      ++bad;
    }
  }
}

}  // namespace
