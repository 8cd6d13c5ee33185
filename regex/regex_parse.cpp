// The parser: tokens into a syntax tree (recursive descent; recursion only through groups, so at
// most eight levels). Repetitions become copies of their item.
//
//   alternation := sequence ("|" sequence)*
//   sequence    := repeat*            (ends at "|", ")" or the end; empty gives the empty node)
//   repeat      := item [repetition]
//   item        := atom | "(" alternation ")"

#include <cstdlib>
#include <cstring>

#include "regex/regex_internal.h"

namespace {

struct Parser {
  RxLexer lx;
  RxNodePool* pool;
  bool failed;
  bool nested;  // build "{n,m}" as nested optional copies
  bool ranged;  // a "{n,m}" with m > n was read
};

int node(Parser* ps, int kind, int32_t atom, int left, int right) {
  if (ps->failed) return -1;
  RxNodePool* pool = ps->pool;
  if (pool->count >= pool->capacity) {
    if (pool->capacity >= RX_MAX_NODES) {
      rx_report(RX_MSG_COMPLEX);
      ps->failed = true;
      return -1;
    }
    int cap = pool->capacity ? pool->capacity * 2 : 64;
    RxNode* grown = (RxNode*)realloc(pool->nodes, sizeof(RxNode) * cap);
    if (!grown) {
      ps->failed = true;
      return -1;
    }
    pool->nodes = grown;
    pool->capacity = cap;
  }
  RxNode* n = &pool->nodes[pool->count];
  n->kind = (int8_t)kind;
  n->atom = atom;
  n->left = left;
  n->right = right;
  return pool->count++;
}

int cat(Parser* ps, int a, int b) {
  return node(ps, RX_NODE_CAT, 0, a, b);
}
int alt(Parser* ps, int a, int b) {
  return node(ps, RX_NODE_ALT, 0, a, b);
}
int star(Parser* ps, int a) {
  return node(ps, RX_NODE_STAR, 0, a, -1);
}
int empty(Parser* ps) {
  return node(ps, RX_NODE_EMPTY, 0, -1, -1);
}

// A deep copy of the subtree at src (without recursion: sequences make deep trees).
int copy(Parser* ps, int src) {
  if (ps->failed) return -1;
  int top = node(ps, ps->pool->nodes[src].kind, ps->pool->nodes[src].atom, -1, -1);
  if (top < 0) return -1;
  int cap = 64, sp = 0;
  int* stack = (int*)malloc(sizeof(int) * 2 * cap);
  if (!stack) {
    ps->failed = true;
    return -1;
  }
  stack[sp * 2] = src;
  stack[sp * 2 + 1] = top;
  ++sp;
  while (sp > 0 && !ps->failed) {
    --sp;
    int s = stack[sp * 2], d = stack[sp * 2 + 1];
    for (int side = 0; side < 2; ++side) {
      int child = side ? ps->pool->nodes[s].right : ps->pool->nodes[s].left;
      if (child < 0) continue;
      int dup = node(ps, ps->pool->nodes[child].kind, ps->pool->nodes[child].atom, -1, -1);
      if (dup < 0) break;
      if (side)
        ps->pool->nodes[d].right = dup;
      else
        ps->pool->nodes[d].left = dup;
      if (sp >= cap) {
        cap *= 2;
        int* grown = (int*)realloc(stack, sizeof(int) * 2 * cap);
        if (!grown) {
          ps->failed = true;
          break;
        }
        stack = grown;
      }
      stack[sp * 2] = child;
      stack[sp * 2 + 1] = dup;
      ++sp;
    }
  }
  free(stack);
  return ps->failed ? -1 : top;
}

// The item itself the first time, copies afterwards.
struct Copies {
  int item;
  bool used;
};
int take(Parser* ps, Copies* c) {
  if (!c->used) {
    c->used = true;
    return c->item;
  }
  return copy(ps, c->item);
}

int sequence_of(Parser* ps, Copies* c, int count) {
  int r = take(ps, c);
  for (int i = 1; i < count; ++i) r = cat(ps, r, take(ps, c));
  return r;
}

// Repetitions, longest first so that tags take the greedy split.
int repeat_node(Parser* ps, int item, int token) {
  Copies c = {item, false};
  switch (token) {
    case RX_TK_STAR:
      return star(ps, item);
    case RX_TK_PLUS:
      return cat(ps, item, star(ps, copy(ps, item)));
    case RX_TK_QUEST:
      return alt(ps, item, empty(ps));
    default:
      break;
  }
  int n = ps->lx.rep_min, m = ps->lx.rep_max;
  int base = n >= 1 ? sequence_of(ps, &c, n) : -1;
  int tail = -1;
  if (ps->lx.rep_comma && !ps->lx.rep_has_max) {
    tail = star(ps, take(ps, &c));  // {n,}: n or more
  } else if (ps->lx.rep_comma && m > n) {
    int k = m - n;
    ps->ranged = true;
    tail = empty(ps);
    if (ps->nested) {
      // item (item (item)?)?: k copies in k states, the longer choice first at every level.
      for (int j = 1; j <= k && !ps->failed; ++j)
        tail = alt(ps, j == 1 ? take(ps, &c) : cat(ps, take(ps, &c), tail), empty(ps));
    } else {
      // m - n further copies, then m - n - 1, ..., 1, then none.
      for (int j = 1; j <= k && !ps->failed; ++j) tail = alt(ps, sequence_of(ps, &c, j), tail);
    }
  }
  if (base >= 0 && tail >= 0) return cat(ps, base, tail);
  if (base >= 0) return base;
  if (tail >= 0) return tail;
  return empty(ps);  // {0}: the empty string
}

int alternation(Parser* ps);

int item(Parser* ps) {
  RxLexer* lx = &ps->lx;
  switch (lx->token) {
    case RX_TK_ATOM: {
      int a = node(ps, RX_NODE_ATOM, lx->value, -1, -1);
      rx_lex_next(lx);
      return a;
    }
    case RX_TK_LPAREN: {
      int tag = lx->value;
      rx_lex_next(lx);
      int inner = alternation(ps);
      if (ps->failed) return -1;
      if (lx->token != RX_TK_RPAREN) {
        if (!lx->failed) rx_report(RX_MSG_PAREN);
        ps->failed = true;
        return -1;
      }
      rx_lex_next(lx);
      int open = node(ps, RX_NODE_ATOM, RX_TAG_START + tag, -1, -1);
      int close = node(ps, RX_NODE_ATOM, RX_TAG_END + tag, -1, -1);
      return cat(ps, cat(ps, open, inner), close);
    }
    default:
      if (!lx->failed) rx_report(RX_MSG_ITEM);
      ps->failed = true;
      return -1;
  }
}

bool is_repetition(int token) {
  return token == RX_TK_STAR || token == RX_TK_PLUS || token == RX_TK_QUEST || token == RX_TK_BRACE;
}

int sequence(Parser* ps) {
  RxLexer* lx = &ps->lx;
  int seq = -1;
  while (!ps->failed && lx->token != RX_TK_END && lx->token != RX_TK_BAR &&
         lx->token != RX_TK_RPAREN) {
    int r = item(ps);
    if (ps->failed) return -1;
    if (is_repetition(lx->token)) {
      r = repeat_node(ps, r, lx->token);
      rx_lex_next(lx);
    }
    seq = seq < 0 ? r : cat(ps, seq, r);
  }
  if (lx->failed) ps->failed = true;
  return seq < 0 ? empty(ps) : seq;
}

int alternation(Parser* ps) {
  int left = sequence(ps);
  while (!ps->failed && ps->lx.token == RX_TK_BAR) {
    rx_lex_next(&ps->lx);
    int right = sequence(ps);
    left = alt(ps, left, right);
  }
  return ps->failed ? -1 : left;
}

// The states the graph of the tree needs: start and end, one per concatenation, two per closure.
long tree_states(const RxNodePool* pool, int root) {
  long states = 2;
  int cap = 64, sp = 0;
  int* stack = (int*)malloc(sizeof(int) * (size_t)cap);
  if (!stack) return -1;
  stack[sp++] = root;
  while (sp > 0) {
    const RxNode& n = pool->nodes[stack[--sp]];
    states += n.kind == RX_NODE_CAT ? 1 : n.kind == RX_NODE_STAR ? 2 : 0;
    bool inner = n.kind == RX_NODE_CAT || n.kind == RX_NODE_ALT || n.kind == RX_NODE_STAR;
    for (int side = 0; side < 2 && inner; ++side) {
      int child = side ? n.right : n.left;
      if (child < 0) continue;
      if (sp >= cap) {
        int* grown = (int*)realloc(stack, sizeof(int) * (size_t)(cap *= 2));
        if (!grown) {
          free(stack);
          return -1;
        }
        stack = grown;
      }
      stack[sp++] = child;
    }
  }
  free(stack);
  return states;
}

bool parse(RegexProgram* prog, RxNodePool* pool, int* root, bool nested, bool* ranged) {
  Parser ps;
  rx_lex_init(&ps.lx, prog);
  ps.lx.quiet = nested;
  ps.pool = pool;
  ps.failed = false;
  ps.nested = nested;
  ps.ranged = false;
  rx_lex_next(&ps.lx);
  int r = alternation(&ps);
  if (ps.lx.failed) ps.failed = true;
  if (!ps.failed && ps.lx.token != RX_TK_END) {
    rx_report(RX_MSG_TREE);
    ps.failed = true;
  }
  *root = r;
  *ranged = ps.ranged;
  return !ps.failed && r >= 0;
}

}  // namespace

bool rx_parse(RegexProgram* prog, RxNodePool* pool, int* root) {
  bool ranged = false;
  if (!parse(prog, pool, root, false, &ranged)) return false;
  // The flat "{n,m}" keeps the results it has always given wherever it fits; only a pattern
  // that would not fit is read again with the nested form.
  if (!ranged || tree_states(pool, *root) <= REGEX_MAX_STATES) return true;
  pool->count = 0;
  rx_clear_graph(prog);  // the classes and groups of the first reading
  return parse(prog, pool, root, true, &ranged);
}
