// Native platform step of the code-page conversion: glibc's iconv with "CP932", used only to
// build the tables. Where glibc departs from Windows' code page 932, Windows is followed.

#include <errno.h>
#include <iconv.h>

#include "core/codepage_sys.h"

namespace {

iconv_t g_decode = (iconv_t)-1;
iconv_t g_encode = (iconv_t)-1;

int run(iconv_t cd, const char* in, size_t in_len, char* out, size_t out_cap) {
  if (cd == (iconv_t)-1) return -1;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in);
  char* dst = out;
  size_t left = in_len, room = out_cap;
  if (iconv(cd, &src, &left, &dst, &room) == (size_t)-1 || left != 0) return -1;
  if (iconv(cd, nullptr, nullptr, &dst, &room) == (size_t)-1) return -1;
  return int(dst - out);
}

}  // namespace

int codepage_sys_decode(const char* mb, int n, char16_t* out, int capacity) {
  if (g_decode == (iconv_t)-1) g_decode = iconv_open("UTF-16LE", "CP932");
  char tmp[64];
  int k = run(g_decode, mb, size_t(n), tmp, sizeof tmp);
  if (k <= 0 || k % 2 || k / 2 > capacity) return 0;
  for (int i = 0; i < k / 2; ++i)
    out[i] = char16_t((unsigned char)tmp[2 * i] | (unsigned char)tmp[2 * i + 1] << 8);
  return k / 2;
}

int codepage_sys_encode(const char16_t* wide, int n, char* out, int capacity) {
  // The single bytes that glibc leaves out, written as Windows writes them.
  if (n == 1 && capacity >= 1) {
    char16_t u = wide[0];
    if (u == 0x0080 || (u >= 0xF8F0 && u <= 0xF8F3)) {
      out[0] = char(u == 0x0080 ? 0x80 : u == 0xF8F0 ? 0xA0 : 0xFD + (u - 0xF8F1));
      return 1;
    }
  }
  if (g_encode == (iconv_t)-1) g_encode = iconv_open("CP932", "UTF-16LE");
  char in[64];
  if (n > 32) return 0;
  for (int i = 0; i < n; ++i) {
    in[2 * i] = char(wide[i] & 0xFF);
    in[2 * i + 1] = char(wide[i] >> 8);
  }
  int k = run(g_encode, in, size_t(n) * 2, out, size_t(capacity));
  return k < 0 ? 0 : k;
}

void codepage_sys_adjust(CodepageTables* t) {
  // Windows gives the bytes that code page 932 leaves unused units of their own; glibc rejects
  // them. 0x80 and 0xA0 are the escape leads and are never written back as these units.
  t->wide[0x80] = 0x0080;
  t->wide[0xA0] = 0xF8F0;
  t->wide[0xFD] = 0xF8F1;
  t->wide[0xFE] = 0xF8F2;
  t->wide[0xFF] = 0xF8F3;
}
