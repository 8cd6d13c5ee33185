// winx.ph: マクロから呼べるWindowsの関数（一覧は winapi.txt）
#include "winqmc.ph"

int  winShellOpen(const char *file);            // 関連付けで開く
int  winRun(const char *cmdline, int show);     // プログラムを起動
int  winGetEnv(const char *name, char *buf, int size);
int  winClipboardGet(char *buf, int size);
int  winClipboardSet(const char *s);
