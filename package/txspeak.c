// txspeak.c: カーソル行を読み上げる
#include "text64.ph"

#include "soundp.h"

int main(TX tx) {
  char line[1024];
  if (!spkOpen()) return 0;
  if (txGetLine(tx, line, sizeof line)) spkSpeak(line);
  spkClose();
  return 1;
}
