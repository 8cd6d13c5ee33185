// Inserting UTF-16 text: converted to the internal form, then put like a string (LF -> CR LF).
// Kept apart from text.cpp so that the Text object links without the code page layer.

#include <cstdlib>

#include "core/codepage.h"
#include "core/text.h"

int64_t text_put_wide(Text* t, const char16_t* s) {
  if (!t || !s) return 0;
  char* mb = to_narrow_new(s, -1);
  if (!mb) {
    t->flags |= TX_OUT_OF_MEMORY;
    return 0;
  }
  int64_t r = text_puts(t, (const char*)mb);
  free(mb);
  return r;
}
