// txcalc.c: カーソル行の数式を計算して行末に書く
#include "text64.ph"

int main(TX tx) {
  char line[256];
  if (!txGetLine(tx, line, sizeof line)) return 0;
  int a = 0, b = 0;
  char op = 0;
  if (sscanf(line, "%d %c %d", &a, &op, &b) != 3) return 0;
  int r = op == 0x2B ? a + b : op == 0x2D ? a - b : op == 0x2A ? a * b : b ? a / b : 0;
  char out[64];
  sprintf(out, " = %d", r);
  return txInsert(tx, out);
}
