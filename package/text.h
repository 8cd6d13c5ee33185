// text.h: マクロから使うエディタの基本関数の宣言
#ifndef TEXT_H
#define TEXT_H

typedef int TX;          // テキストの番号
typedef unsigned ID;     // 6文字以内のコマンド語

int  txGetLine(TX tx, char *buf, int size);   // カーソル行を取り出す
int  txInsert(TX tx, const char *s);          // カーソル位置へ挿入
int  txDeleteLine(TX tx);                     // カーソル行を削除
int  txJump(TX tx, int line);                 // 指定行へ移動
int  txNextLine(TX tx);                       // 次の行へ（末尾で0）
int  txTop(TX tx);                            // 先頭へ
int  txCommand(TX tx, ID cmd);                // コマンドの実行
int  txSearch(TX tx, const char *pattern);    // 正規表現で検索
void txMessage(const char *s);                // ステータス行に表示
int  txQuestion(const char *s);               // はい=6、いいえ=7

#endif
