// txlib.c: ƒ}ƒNƒ‚ª‹¤’Ê‚Åg‚¤ŠÖ”
#include "text64.ph"

int txIsBlank(const char *s) {
  for (; *s; s++)
    if (*s != 0x20 && *s != 0x09) return 0;
  return 1;
}
