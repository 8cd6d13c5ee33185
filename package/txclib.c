// txclib.c: •¶š—ñ‚Ì¬‚³‚ÈŠÖ”
#include "text64.ph"

int txLength(const char *s) {
  int n = 0;
  while (s[n]) n++;
  return n;
}
