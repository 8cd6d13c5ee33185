// txwebto.c: 選択した語をウェブで調べる（送り先は webto.txt）
#include "text64.ph"

#include "winx.ph"

int main(TX tx) {
  char word[256];
  if (!txGetLine(tx, word, sizeof word)) return 0;
  return winShellOpen(word);
}
