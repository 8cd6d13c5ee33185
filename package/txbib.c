// txbib.c: •¶Œ£‚Ìˆê——‚ð•À‚×‘Ö‚¦‚é
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "SORTL");
}
