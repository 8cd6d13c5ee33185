// The lexer: one token at a time from the pattern. A Shift-JIS pair or an SJIS-EX triple is one
// character unless in byte mode; classes are cut out whole and compiled here.

#include <cstdlib>
#include <cstring>

#include "regex/regex_internal.h"

namespace {

bool is_octal(uint8_t c) {
  return c >= '0' && c <= '7';
}

int hex_value(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The pattern character at pos; a lone lead byte at the end stands for itself.
RxChar pattern_char(const RxLexer* lx, long pos) {
  RxChar ch = rx_read(lx->p, pos, lx->n, lx->prog->bytes);
  if (ch.length == 1 && ch.code == 0) ch.code = lx->p[pos];
  return ch;
}

uint32_t fold(const RxLexer* lx, uint32_t c) {
  return lx->prog->icase ? rx_upper(c) : c;
}

void set_bit(uint8_t* bits, uint32_t c) {
  bits[c >> 3] |= (uint8_t)(1u << (c & 7));
}

bool add_range(RxClass* cls, uint32_t lo, uint32_t hi) {
  if (lo > hi) return true;
  for (uint32_t c = lo; c <= hi && c < 256; ++c) set_bit(cls->bits, c);
  if (hi < 256) return true;
  if (lo < 256) lo = 256;
  uint32_t* r = (uint32_t*)realloc(cls->ranges, sizeof(uint32_t) * 2 * (cls->range_count + 1));
  if (!r) return false;
  cls->ranges = r;
  r[cls->range_count * 2] = lo;
  r[cls->range_count * 2 + 1] = hi;
  cls->range_count++;
  return true;
}

bool add_special(RxClass* cls, int32_t label) {
  for (uint32_t c = 0; c < 256; ++c)
    if (rx_special_match(label, c)) set_bit(cls->bits, c);
  if (label == RX_BLANK) return add_range(cls, RX_CODE_ZSPACE, RX_CODE_ZSPACE);
  return true;
}

// One member of a class at q: a character (*code) or a special class (*special); returns the
// position after it.
long class_member(const RxLexer* lx, long q, long end, uint32_t* code, int32_t* special) {
  *special = 0;
  if (lx->p[q] == '\\' && q + 1 < end) {
    uint8_t e = lx->p[q + 1];
    switch (e) {
      case 'd':
        *special = RX_DIGIT;
        return q + 2;
      case 's':
        *special = RX_BLANK;
        return q + 2;
      case 'w':
        *special = RX_WORD;
        return q + 2;
      case 't':
        *code = '\t';
        return q + 2;
      case 'x':
        if (q + 3 < end && hex_value(lx->p[q + 2]) >= 0 && hex_value(lx->p[q + 3]) >= 0) {
          *code = fold(lx, (uint32_t)(hex_value(lx->p[q + 2]) * 16 + hex_value(lx->p[q + 3])));
          return q + 4;
        }
        break;
      default:
        break;
    }
    RxChar ch = rx_read(lx->p, q + 1, end, lx->prog->bytes);
    if (ch.length == 1 && ch.code == 0) ch.code = lx->p[q + 1];
    *code = fold(lx, ch.code);
    return q + 1 + ch.length;
  }
  RxChar ch = rx_read(lx->p, q, end, lx->prog->bytes);
  if (ch.length == 1 && ch.code == 0) ch.code = lx->p[q];
  *code = fold(lx, ch.code);
  return q + ch.length;
}

// Compiles the class text [begin, end) of the pattern into a new class; its index or -1.
int add_class(RxLexer* lx, long begin, long end) {
  RegexProgram* prog = lx->prog;
  RxClass* list = (RxClass*)realloc(prog->classes, sizeof(RxClass) * (prog->class_count + 1));
  if (!list) return -1;
  prog->classes = list;
  RxClass* cls = &list[prog->class_count];
  memset(cls, 0, sizeof *cls);
  cls->length = (int)(end - begin);
  cls->text = (char*)malloc((size_t)cls->length + 1);
  if (!cls->text) return -1;
  memcpy(cls->text, lx->p + begin, (size_t)cls->length);
  cls->text[cls->length] = 0;
  prog->class_count++;

  long q = begin;
  if (q < end && lx->p[q] == '^') {
    cls->negated = true;
    ++q;
  }
  bool ok = true;
  while (q < end && ok) {
    uint32_t lo = 0;
    int32_t special = 0;
    q = class_member(lx, q, end, &lo, &special);
    if (special) {
      ok = add_special(cls, special);
      continue;
    }
    if (q + 1 < end && lx->p[q] == '-') {
      uint32_t hi = 0;
      int32_t special2 = 0;
      long after = class_member(lx, q + 1, end, &hi, &special2);
      if (!special2) {
        ok = add_range(cls, lo, hi);
        q = after;
        continue;
      }
    }
    ok = add_range(cls, lo, lo);
  }
  return ok ? prog->class_count - 1 : -1;
}

void atom(RxLexer* lx, int32_t value) {
  lx->token = RX_TK_ATOM;
  lx->value = value;
}

void lex_class(RxLexer* lx) {
  long begin = lx->pos;
  long q = begin;
  if (q < lx->n && lx->p[q] == '^') ++q;
  if (q < lx->n && lx->p[q] == ']') ++q;
  while (q < lx->n && lx->p[q] != ']') {
    if (lx->p[q] == '\\') ++q;
    if (q < lx->n) q += pattern_char(lx, q).length;
  }
  if (q >= lx->n) {
    // A class without its bracket ends the pattern.
    if (!lx->quiet) rx_report(RX_MSG_BRACKET);
    lx->pos = lx->n;
    lx->token = RX_TK_END;
    return;
  }
  int index = add_class(lx, begin, q);
  lx->pos = q + 1;
  if (index < 0) {
    lx->failed = true;
    lx->token = RX_TK_END;
    return;
  }
  atom(lx, (int32_t)(RX_CLASS_BIT | (uint32_t)index));
}

long read_number(RxLexer* lx, int* value, bool* any) {
  long v = 0;
  *any = false;
  while (lx->pos < lx->n && lx->p[lx->pos] >= '0' && lx->p[lx->pos] <= '9') {
    if (v < 100000) v = v * 10 + (lx->p[lx->pos] - '0');
    lx->pos++;
    *any = true;
  }
  *value = (int)v;
  return v;
}

void lex_brace(RxLexer* lx) {
  bool any = false;
  long n = read_number(lx, &lx->rep_min, &any);
  long m = 0;
  lx->rep_comma = false;
  lx->rep_has_max = false;
  lx->rep_max = 0;
  if (lx->pos < lx->n && lx->p[lx->pos] == ',') {
    lx->pos++;
    lx->rep_comma = true;
    m = read_number(lx, &lx->rep_max, &lx->rep_has_max);
  }
  if (lx->pos < lx->n && lx->p[lx->pos] == '}')
    lx->pos++;
  else if (!lx->quiet)
    rx_report(RX_MSG_BRACE);  // the repetition still applies
  lx->token = RX_TK_BRACE;
  if (n > 255 || m > 255) {
    rx_report(RX_MSG_COMPLEX);
    lx->failed = true;
    lx->token = RX_TK_END;
  }
}

void lex_escape(RxLexer* lx) {
  if (lx->pos >= lx->n) return atom(lx, fold(lx, '\\'));
  const uint8_t* p = lx->p + lx->pos;
  uint8_t c = p[0];
  if (c <= '3' && is_octal(c) && lx->pos + 2 < lx->n && is_octal(p[1]) && is_octal(p[2])) {
    lx->pos += 3;
    return atom(lx,
                (int32_t)fold(lx, (uint32_t)((c - '0') * 64 + (p[1] - '0') * 8 + (p[2] - '0'))));
  }
  if (c >= '1' && c <= '9') {
    lx->pos++;
    return atom(lx, RX_BACKREF + (c - '1'));
  }
  int32_t special = 0;
  switch (c) {
    case 'n':
      special = RX_LINEBREAK;
      break;
    case 's':
      special = RX_BLANK;
      break;
    case 'S':
      special = RX_NONBLANK;
      break;
    case 'd':
      special = RX_DIGIT;
      break;
    case 'D':
      special = RX_NONDIGIT;
      break;
    case 'w':
      special = RX_WORD;
      break;
    case 'W':
      special = RX_NONWORD;
      break;
    case 'b':
      special = RX_BOUNDARY;
      break;
    case 'B':
      special = RX_NOT_BOUNDARY;
      break;
    case 't':
      lx->pos++;
      return atom(lx, '\t');
    case 'r':
      lx->pos++;
      return atom(lx, '\r');
    case 'x':
      if (lx->pos + 2 < lx->n && hex_value(p[1]) >= 0 && hex_value(p[2]) >= 0) {
        lx->pos += 3;
        return atom(lx, (int32_t)fold(lx, (uint32_t)(hex_value(p[1]) * 16 + hex_value(p[2]))));
      }
      break;
    default:
      break;
  }
  if (special) {
    lx->pos++;
    return atom(lx, special);
  }
  RxChar ch = pattern_char(lx, lx->pos);
  lx->pos += ch.length;
  if (ch.code == RX_CODE_ZD) return atom(lx, RX_ZDIGIT);
  atom(lx, (int32_t)fold(lx, ch.code));
}

}  // namespace

void rx_lex_init(RxLexer* lx, RegexProgram* prog) {
  memset(lx, 0, sizeof *lx);
  lx->prog = prog;
  lx->p = (const uint8_t*)prog->pattern;
  lx->n = prog->pattern_length;
  lx->token = RX_TK_END;
}

void rx_lex_next(RxLexer* lx) {
  lx->value = 0;
  if (lx->failed || lx->pos >= lx->n) {
    lx->token = RX_TK_END;
    return;
  }
  RxChar ch = pattern_char(lx, lx->pos);
  lx->pos += ch.length;
  if (ch.length != 1) return atom(lx, (int32_t)ch.code);
  switch (ch.code) {
    case '.':
      return atom(lx, RX_ANY);
    case '^':
      return atom(lx, RX_LINE_START);
    case '$':
      if (lx->pos < lx->n && lx->p[lx->pos] >= '1' && lx->p[lx->pos] <= '9') {
        lx->pos++;
        return atom(lx, RX_BACKREF + (lx->p[lx->pos - 1] - '1'));
      }
      return atom(lx, RX_LINE_END);
    case '<':
      return atom(lx, RX_WORD_START);
    case '>':
      return atom(lx, RX_WORD_END);
    case '(': {
      RegexProgram* prog = lx->prog;
      if (lx->group_open >= REGEX_MAX_TAGS || prog->group_count >= REGEX_MAX_TAGS) {
        rx_report(RX_MSG_NEST);
        lx->failed = true;
        lx->token = RX_TK_END;
        return;
      }
      lx->group_stack[lx->group_open++] = prog->group_count;
      lx->token = RX_TK_LPAREN;
      lx->value = prog->group_count++;
      return;
    }
    case ')':
      if (lx->group_open > 0) lx->group_open--;
      lx->token = RX_TK_RPAREN;
      return;
    case '|':
      lx->token = RX_TK_BAR;
      return;
    case '*':
      lx->token = RX_TK_STAR;
      return;
    case '+':
      lx->token = RX_TK_PLUS;
      return;
    case '?':
      lx->token = RX_TK_QUEST;
      return;
    case '{':
      return lex_brace(lx);
    case '[':
      return lex_class(lx);
    case '\\':
      return lex_escape(lx);
    default:
      return atom(lx, (int32_t)fold(lx, ch.code));
  }
}
