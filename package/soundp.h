// soundp.h: 音声化（読み上げ）の関数
#include "text.h"

int spkOpen(void);                 // 読み上げの準備（失敗で0）
int spkSpeak(const char *s);       // 文字列を読み上げる
int spkStop(void);                 // 読み上げを止める
int spkSetRate(int rate);          // 速さ -10..10
void spkClose(void);
