// txhtml.c: HTML‚Ìƒ^ƒO‚ð‘}“ü‚·‚é
#include "text64.ph"

int main(TX tx) {
  return txInsert(tx, "<p></p>");
}
