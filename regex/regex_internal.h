#pragma once
// Inside the regular-expression engine: the program layout shared by its stages (lexer, parser,
// graph compiler, matcher) and by the tests' reference walk. Not for other modules.

#include <cstdint>
#include <cstdlib>

#include "core/codepage.h"
#include "regex/regex.h"

// Transition labels (atoms). Character codes are below 0x20000.
enum : int32_t {
  RX_EMPTY = 0x100000,
  RX_ANY = 0x100001,
  RX_LINEBREAK = 0x100002,
  RX_BLANK = 0x100003,
  RX_DIGIT = 0x100004,
  RX_LOWER = 0x100005,
  RX_UPPER = 0x100006,
  RX_ZDIGIT = 0x100007,
  RX_ZLOWER = 0x100008,
  RX_ZUPPER = 0x100009,
  RX_WORD = 0x10000A,
  RX_NONWORD = 0x10000B,
  RX_NONBLANK = 0x10000C,
  RX_NONDIGIT = 0x10000D,
  RX_WORD_START = 0x10000E,
  RX_WORD_END = 0x10000F,
  RX_BOUNDARY = 0x100010,
  RX_NOT_BOUNDARY = 0x100011,
  RX_LINE_START = 0x100012,
  RX_LINE_END = 0x100013,
  RX_TAG_START = 0x101000,  // + tag
  RX_TAG_END = 0x101100,    // + tag
  RX_BACKREF = 0x101200,    // + tag
};
// A class reference: the top bit and the class index.
inline constexpr uint32_t RX_CLASS_BIT = 0x80000000u;

inline constexpr uint32_t RX_CODE_CRLF = 0x0D0A;
inline constexpr uint32_t RX_CODE_ZSPACE = 0x8140;
inline constexpr uint32_t RX_CODE_ZD = 0x8263;  // full-width D

inline bool rx_is_class(int32_t label) {
  return ((uint32_t)label & RX_CLASS_BIT) != 0;
}
inline bool rx_is_char(int32_t label) {
  return label >= 0 && label < RX_EMPTY;
}
inline bool rx_is_special(int32_t label) {
  return label >= RX_ANY && label <= RX_NONDIGIT;
}
inline bool rx_is_anchor(int32_t label) {
  return label >= RX_WORD_START && label <= RX_LINE_END;
}
inline bool rx_is_tag_mark(int32_t label) {
  return label >= RX_TAG_START && label < RX_TAG_START + 0x200;
}
inline bool rx_is_backref(int32_t label) {
  return label >= RX_BACKREF && label < RX_BACKREF + 0x100;
}

struct RxTransition {
  int32_t label;
  int32_t target;
};

// A bracket class: its text (owned) and the compiled membership.
struct RxClass {
  char* text;
  int length;
  bool negated;
  uint8_t bits[32];  // codes 0..255
  uint32_t* ranges;  // pairs lo, hi of codes 256 and above
  int range_count;
};

struct RegexProgram {
  char* pattern;
  int pattern_length;
  unsigned options;
  unsigned match_options;
  unsigned flags;
  bool compiled;  // the last compilation succeeded
  bool icase;
  bool bytes;

  int group_count;

  RxClass* classes;
  int class_count;

  // The state graph: transitions of state s are trans[first[s] .. first[s + 1]).
  int state_count;
  int* first;
  RxTransition* trans;
  int trans_count;
  int start_state;
  int end_state;
  int tag_start_state[REGEX_TAG_SLOTS];
  int tag_end_state[REGEX_TAG_SLOTS];

  // Start positions that cannot begin a match (worked out by the compiler).
  bool filter;             // pair table usable
  bool nullable;           // the start state may reach the end without a character
  bool bol_only;           // every match passes a line-start anchor before any character
  uint8_t* pairs;          // 65536 bits: first byte, second byte of a possible start
  uint8_t first_bits[32];  // possible first bytes
  char prefix[64];         // bytes every match starts with
  int prefix_length;
  bool prefix_bol;  // the prefix begins with the LF before a line start (see analyse_prefix)
  uint8_t prefix_skip[256];  // Horspool shifts for the prefix
  // The opening chain: the labels from the start state on while each state has one transition.
  // Every match walks it, so an attempt that fails on it fails; tried before the walk when it
  // tests more than the filters do (a back-reference, or characters after the first).
  int32_t chain[16];
  int chain_length;
  bool chain_check;
  bool chain_scan;  // no anchor on it: the candidate scan may try it too

  // The last match.
  const char* text;
  long tag_begin[REGEX_TAG_SLOTS];
  long tag_end[REGEX_TAG_SLOTS];
  char* tag_text[REGEX_TAG_SLOTS];
};

// One character of text[p, n) as the matcher reads it.
struct RxChar {
  uint32_t code;
  int length;  // 0 at the range end
};

inline RxChar rx_read(const uint8_t* t, long p, long n, bool bytes) {
  if (p >= n) return {0, 0};
  unsigned b = t[p];
  if (b == '\r' && p + 1 < n && t[p + 1] == '\n') return {RX_CODE_CRLF, 2};
  if (b < 0x80 || bytes) return {b, 1};
  if (cp_is_lead(b)) {
    if (p + 1 >= n) return {0, 1};
    if (cp_is_trail(t[p + 1])) return {(b << 8) | t[p + 1], 2};
    return {b, 1};
  }
  if ((b == 0x80 || b == 0xA0) && p + 2 < n && t[p + 1] >= 0x40 && t[p + 2] >= 0x40) {
    uint32_t unit = (b == 0xA0 ? 0x8000u : 0u) + (t[p + 1] - 0x40u) * 188u + (t[p + 2] - 0x40u);
    return {(unit & 0xFFFFu) + 0x10000u, 3};
  }
  return {b, 1};
}

inline uint32_t rx_upper(uint32_t c) {
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

// Class test of a compiled bracket class (c already upper-cased in case-insensitive mode).
bool rx_class_match(const RxClass* cls, uint32_t c);
// Special class test (RX_ANY .. RX_NONDIGIT).
bool rx_special_match(int32_t label, uint32_t c);
// Word character test of a code (ASCII letter, digit, $ and _).
bool rx_word_code(uint32_t c);
// Start of the character before p (p > 0), stepping as the matcher does from position 0.
long rx_prev_start(const uint8_t* t, long p, long n, bool bytes);

// Syntax tree nodes, kept in one pool and named by index.
enum : int8_t {
  RX_NODE_EMPTY = 0,
  RX_NODE_ATOM = 1,
  RX_NODE_CAT = 2,
  RX_NODE_ALT = 3,
  RX_NODE_STAR = 4
};
struct RxNode {
  int8_t kind;
  int32_t atom;
  int32_t left;
  int32_t right;
};
struct RxNodePool {
  RxNode* nodes;
  int count;
  int capacity;
};
inline constexpr int RX_MAX_NODES = 1 << 20;

// Lexer state.
enum : int {
  RX_TK_END,
  RX_TK_ATOM,    // value: character code, class reference, special class, anchor or back-reference
  RX_TK_LPAREN,  // value: group number
  RX_TK_RPAREN,
  RX_TK_BAR,
  RX_TK_STAR,
  RX_TK_PLUS,
  RX_TK_QUEST,
  RX_TK_BRACE,  // rep_min, rep_max, rep_comma, rep_has_max
};
struct RxLexer {
  RegexProgram* prog;
  const uint8_t* p;
  long pos;
  long n;
  int token;
  int32_t value;
  int rep_min;
  int rep_max;
  bool rep_comma;
  bool rep_has_max;
  int group_stack[REGEX_MAX_TAGS];
  int group_open;
  bool failed;
  bool quiet;  // a second reading of the pattern: its warnings were shown by the first
};
void rx_lex_init(RxLexer* lx, RegexProgram* prog);
void rx_lex_next(RxLexer* lx);

// Stages.
bool rx_parse(RegexProgram* prog, RxNodePool* pool, int* root);
bool rx_build(RegexProgram* prog, RxNodePool* pool, int root);
void rx_analyse(RegexProgram* prog);
void rx_report(const char* message);
void rx_clear_graph(RegexProgram* prog);

// Messages of the status line.
inline constexpr const char* RX_MSG_NEST = "正規表現: タグのネストが深すぎます";
inline constexpr const char* RX_MSG_BRACE = "正規表現: {}が閉じていません";
inline constexpr const char* RX_MSG_BRACKET = "正規表現: [ に対応する ] がありません";
inline constexpr const char* RX_MSG_PAREN = "正規表現: ()が閉じていません";
inline constexpr const char* RX_MSG_ITEM = "正規表現: *や.の前に文字を指定してください";
inline constexpr const char* RX_MSG_TREE = "正規表現: 構文木エラー";
inline constexpr const char* RX_MSG_COMPLEX = "正規表現が複雑すぎます";
inline constexpr const char* RX_MSG_TAGS = "正規表現: タグは%d個までです";
inline constexpr const char* RX_MSG_INTERNAL = "re:err:%d";
inline constexpr const char* RX_MSG_STACK = "スタックオーバー回避のため正規表現検索を中止しました";
inline constexpr const char* RX_MSG_STEPS = "正規表現を変更してください";
