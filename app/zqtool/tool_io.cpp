// What every zqtool command needs: arguments in the internal form, output back in the terminal's
// form, and whole files written without ever leaving a half-written one.
//
// Natively the terminal speaks UTF-8: arguments that are valid UTF-8 become internal text on the
// way in, and output is turned back into UTF-8. Arguments that are not UTF-8 are taken as internal
// text as they are, and then the terminal is taken to speak the internal form: output goes out
// unchanged. On Windows the arguments and the console already are in code page 932.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/zqtool/tool.h"
#include "core/text.h"
#include "files/codes.h"
#include "files/file.h"

namespace {

#ifndef _WIN32
bool g_raw_terminal;  // an argument came in the internal form: answer in it too

bool is_ascii(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if ((unsigned char)s[i] >= 0x80) return false;
  return true;
}

// Strict UTF-8 check: shortest forms, no surrogates, nothing above U+10FFFF.
bool is_utf8(const char* s) {
  const unsigned char* p = (const unsigned char*)s;
  while (*p) {
    unsigned c = *p++;
    if (c < 0x80) continue;
    int more = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (more < 0) return false;
    uint32_t v = c & (0x3F >> more);
    for (int i = 0; i < more; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      v = (v << 6) | (*p & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (v < kMin[more] || v > 0x10FFFF || (v >= 0xD800 && v < 0xE000)) return false;
  }
  return true;
}
#endif

// Internal text as the terminal wants it, written to f.
void put_out(FILE* f, const char* s, size_t n) {
#ifndef _WIN32
  if (!g_raw_terminal && !is_ascii(s, n)) {
    Text* utf = bytes_to_code(s, (int64_t)n, ID("UTF"), CODE_NO_MARK);
    if (utf) {
      std::fwrite(text_cstr(utf), 1, (size_t)text_length(utf), f);
      text_free(utf);
      return;
    }
  }
#endif
  std::fwrite(s, 1, n, f);
}

void vput(FILE* f, const char* format, va_list ap) {
  char small[1024];
  va_list again;
  va_copy(again, ap);
  int n = std::vsnprintf(small, sizeof small, format, ap);
  if (n < 0) {
    va_end(again);
    return;
  }
  if ((size_t)n < sizeof small) {
    put_out(f, small, (size_t)n);
  } else if (char* big = (char*)std::malloc((size_t)n + 1)) {
    std::vsnprintf(big, (size_t)n + 1, format, again);
    put_out(f, big, (size_t)n);
    std::free(big);
  }
  va_end(again);
}

}  // namespace

char* tool_internal_arg(const char* arg) {
#ifndef _WIN32
  size_t n = std::strlen(arg);
  if (!is_ascii(arg, n) && !is_utf8(arg)) g_raw_terminal = true;
  if (!is_ascii(arg, n) && is_utf8(arg)) {
    Text* t = bytes_from_code(arg, (int64_t)n, ID("UTF"));
    if (t) {
      char* s = strdup(text_cstr(t));
      text_free(t);
      if (s) return s;
    }
  }
#endif
  return strdup(arg);
}

void tool_printf(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  vput(stdout, format, ap);
  va_end(ap);
}

int tool_fail(int status, const char* format, ...) {
  std::fflush(stdout);
  std::fputs("zqtool: ", stderr);
  va_list ap;
  va_start(ap, format);
  vput(stderr, format, ap);
  va_end(ap);
  std::fputc('\n', stderr);
  return status;
}

bool tool_write_file(const char* path, const void* p, size_t n, const FileTime* time) {
  Text* temp = text_new();
  text_puts(temp, path);
  text_puts(temp, ".part~");
  FileHandle h = file_create_ex(temp, FSYS_READ | FSYS_WRITE, 0, 0, true);
  bool ok = h != FILE_INVALID;
  if (ok) {
    ok = file_write(h, p, (int64_t)n) == (int64_t)n;
    if (ok && time) ok = file_set_time(h, *time);
    file_close(h);
    ok = ok && file_replace(temp, path);
    if (!ok) file_delete(temp);
  }
  text_free(temp);
  return ok;
}
