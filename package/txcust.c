// txcust.c: İ’è‰æ–Ê‚ğŠJ‚­
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "CUSTOM");
}
