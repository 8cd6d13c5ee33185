// wininet.ph: マクロからウェブのページを取得する関数
#include "winx.ph"

int netGet(const char *url, TX tx);             // 取得した本文をテキストへ
int netGetFile(const char *url, const char *file);
int netLastStatus(void);                        // HTTPの状態番号
