// Inserting UTF-16 text: converted to the internal form, then put like a string (LF -> CR LF).
// Kept apart from text.cpp so that the Text object links without the code page layer.

#include <cstdlib>

#include "core/codepage.h"
#include "core/text.h"

int64_t text_put_wide(Text* t, const char16_t* s) {
  if (!t || !s) return 0;
  int n = to_narrow(s, -1, nullptr, 0);
  if (n <= 0) return 0;
  char* mb = (char*)malloc((size_t)n + 1);
  if (!mb) {
    t->flags |= TX_OUT_OF_MEMORY;
    return 0;
  }
  int done = to_narrow(s, -1, mb, n);
  mb[done > 0 ? (done < n ? done : n) : 0] = 0;
  int64_t r = done > 0 ? text_puts(t, (const char*)mb) : 0;
  free(mb);
  return r;
}
