// txdos.c: サンプル: コマンドプロンプトの結果を取り込む
#include "text64.ph"

#include "winx.ph"

int main(TX tx) {
  return winRun("cmd /c dir", 0);
}
