// The graph compiler: the syntax tree into numbered states joined by labelled transitions (a
// Thompson construction), and the analysis of where a match can start.
//
// Each node is built between a given start and end state: an atom is one transition; the empty
// node and tag markers an empty transition; a concatenation gets a middle state; an alternation
// builds both children between the same states; a closure gets states f and e with start->f,
// e->f, the child from f to e and then f->end (the body is tried before the exit). Transitions
// keep the order in which they were built: that is the order the matcher tries them.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "regex/regex_internal.h"
#include "ui/notify.h"

namespace {

struct Edge {
  int32_t from;
  int32_t label;
  int32_t to;
};

struct Task {
  int32_t node;  // -1: add the edge (from, label, to)
  int32_t from;
  int32_t to;
  int32_t label;
};

struct Builder {
  RegexProgram* prog;
  Edge* edges;
  int edge_count;
  int edge_capacity;
  Task* tasks;
  int task_count;
  int task_capacity;
  int states;
  bool failed;
};

int new_state(Builder* b) {
  if (b->states >= REGEX_MAX_STATES) {
    if (!b->failed) rx_report(RX_MSG_COMPLEX);
    b->failed = true;
    return 0;
  }
  return b->states++;
}

void add_edge(Builder* b, int from, int32_t label, int to) {
  if (b->failed) return;
  if (b->edge_count >= b->edge_capacity) {
    int cap = b->edge_capacity ? b->edge_capacity * 2 : 64;
    Edge* grown = (Edge*)realloc(b->edges, sizeof(Edge) * cap);
    if (!grown) {
      b->failed = true;
      return;
    }
    b->edges = grown;
    b->edge_capacity = cap;
  }
  b->edges[b->edge_count++] = {from, label, to};
}

void push(Builder* b, Task t) {
  if (b->failed) return;
  if (b->task_count >= b->task_capacity) {
    int cap = b->task_capacity ? b->task_capacity * 2 : 64;
    Task* grown = (Task*)realloc(b->tasks, sizeof(Task) * cap);
    if (!grown) {
      b->failed = true;
      return;
    }
    b->tasks = grown;
    b->task_capacity = cap;
  }
  b->tasks[b->task_count++] = t;
}

// Builds node between from and to. Tasks run last in, first out, which keeps the order of the
// recursive construction.
void build_node(Builder* b, const RxNodePool* pool, const Task& t) {
  if (t.node < 0) return add_edge(b, t.from, t.label, t.to);
  const RxNode& n = pool->nodes[t.node];
  switch (n.kind) {
    case RX_NODE_EMPTY:
      return add_edge(b, t.from, RX_EMPTY, t.to);
    case RX_NODE_ATOM:
      if (rx_is_tag_mark(n.atom)) {
        int tag = n.atom & 0xFF;
        if (n.atom < RX_TAG_END)
          b->prog->tag_start_state[tag] = t.from;
        else
          b->prog->tag_end_state[tag] = t.from;
        return add_edge(b, t.from, n.atom, t.to);
      }
      return add_edge(b, t.from, n.atom, t.to);
    case RX_NODE_CAT: {
      int mid = new_state(b);
      push(b, {n.right, mid, t.to, 0});
      push(b, {n.left, t.from, mid, 0});
      return;
    }
    case RX_NODE_ALT:
      push(b, {n.right, t.from, t.to, 0});
      push(b, {n.left, t.from, t.to, 0});
      return;
    case RX_NODE_STAR: {
      int f = new_state(b), e = new_state(b);
      add_edge(b, t.from, RX_EMPTY, f);
      add_edge(b, e, RX_EMPTY, f);
      push(b, {-1, f, t.to, RX_EMPTY});
      push(b, {n.left, f, e, 0});
      return;
    }
    default: {
      char msg[32];
      snprintf(msg, sizeof msg, RX_MSG_INTERNAL, 1092);
      notify_box(msg, 0);
      b->failed = true;
      return;
    }
  }
}

void set_bit(uint8_t* bits, unsigned i) {
  bits[i >> 3] |= (uint8_t)(1u << (i & 7));
}

void pair_row(RegexProgram* prog, unsigned lead) {
  memset(prog->pairs + lead * 32, 0xFF, 32);
  set_bit(prog->first_bits, lead);
}
void pair_one(RegexProgram* prog, unsigned lead, unsigned trail) {
  set_bit(prog->pairs, lead * 256 + trail);
  set_bit(prog->first_bits, lead);
}

// Could the class or special class match a character of two or more bytes?
bool wide_possible(const RegexProgram* prog, int32_t label) {
  if (rx_is_class(label)) {
    const RxClass* cls = &prog->classes[label & 0x7FFFFFFF];
    return cls->negated || cls->range_count > 0;
  }
  switch (label) {
    case RX_ANY:
    case RX_LINEBREAK:
    case RX_BLANK:
    case RX_ZDIGIT:
    case RX_ZLOWER:
    case RX_ZUPPER:
    case RX_NONWORD:
    case RX_NONBLANK:
    case RX_NONDIGIT:
      return true;
    default:
      return false;
  }
}

bool label_matches(const RegexProgram* prog, int32_t label, uint32_t c) {
  if (rx_is_class(label)) return rx_class_match(&prog->classes[label & 0x7FFFFFFF], c);
  return rx_special_match(label, c);
}

// Possible first and second bytes of a character the consuming label matches.
void add_first(RegexProgram* prog, int32_t label) {
  if (rx_is_char(label)) {
    uint32_t c = (uint32_t)label;
    if (c < 256) {
      pair_row(prog, c);
      if (prog->icase && c >= 'A' && c <= 'Z') pair_row(prog, c + 32);
    } else if (c == RX_CODE_CRLF) {
      pair_one(prog, '\r', '\n');
    } else if (c < 0x10000) {
      pair_one(prog, c >> 8, c & 0xFF);
    } else {
      pair_row(prog, 0x80);
      pair_row(prog, 0xA0);
    }
    return;
  }
  for (unsigned b = 0; b < 256; ++b)
    if (label_matches(prog, label, prog->icase ? rx_upper(b) : b)) pair_row(prog, b);
  if (wide_possible(prog, label)) {
    for (unsigned b = 0x80; b < 256; ++b) pair_row(prog, b);
    pair_row(prog, '\r');
  }
}

// Walks every path of empty transitions and anchors from the start state (without the guards'
// pruning, which only ever cuts paths). When that walk is small, an attempt at a position whose
// first two bytes no consuming transition on it accepts takes few steps, trips no guard and fails;
// such positions may be skipped.
void analyse_start(RegexProgram* prog) {
  struct Frame {
    int state;
    int next;
    bool bol;
  };
  enum { kMaxDepth = 900, kMaxSteps = 20000 };
  Frame* stack = (Frame*)malloc(sizeof(Frame) * (kMaxDepth + 1));
  prog->pairs = (uint8_t*)calloc(8192, 1);
  if (!stack || !prog->pairs) {
    free(stack);
    return;
  }
  bool ok = true, bol_only = true, nullable = false;
  long steps = 1;
  int sp = 0;
  stack[sp++] = {prog->start_state, prog->first[prog->start_state], false};
  while (sp > 0 && ok) {
    Frame& f = stack[sp - 1];
    if (f.next >= prog->first[f.state + 1]) {
      --sp;
      continue;
    }
    const RxTransition& t = prog->trans[f.next++];
    bool bol = f.bol || t.label == RX_LINE_START;
    if (rx_is_backref(t.label)) {
      ok = false;
    } else if (t.label == RX_EMPTY || rx_is_tag_mark(t.label) || rx_is_anchor(t.label)) {
      if (++steps > kMaxSteps || sp >= kMaxDepth) {
        ok = false;
        break;
      }
      if (t.target == prog->end_state) {
        nullable = true;
        if (!bol) bol_only = false;
        continue;
      }
      stack[sp++] = {t.target, prog->first[t.target], bol};
    } else {
      add_first(prog, t.label);
      if (!bol) bol_only = false;
    }
  }
  free(stack);
  if (prog->start_state == prog->end_state) nullable = true;
  prog->filter = ok;
  prog->nullable = nullable || !ok;
  prog->bol_only = ok && bol_only;
  if (!ok) {
    free(prog->pairs);
    prog->pairs = nullptr;
  }
}

// The bytes every match starts with: a chain of states with a single transition each. A line
// start before them puts a LF in front of the bytes (a match then starts after a LF, or at a range
// start that is a line start).
void analyse_prefix(RegexProgram* prog) {
  prog->prefix_length = 0;
  prog->prefix_bol = false;
  int s = prog->start_state, walked = 0;
  while (s != prog->end_state && walked < 900) {
    if (prog->first[s + 1] - prog->first[s] != 1) break;
    const RxTransition& t = prog->trans[prog->first[s]];
    ++walked;
    if (t.label == RX_EMPTY || rx_is_tag_mark(t.label)) {
      s = t.target;
      continue;
    }
    if (t.label == RX_LINE_START && prog->prefix_length == (prog->prefix_bol ? 1 : 0)) {
      if (!prog->prefix_bol) prog->prefix[prog->prefix_length++] = '\n';
      prog->prefix_bol = true;
      s = t.target;
      continue;
    }
    if (!rx_is_char(t.label)) break;
    uint32_t c = (uint32_t)t.label;
    if (c == 0 || c >= 0x10000 || (prog->icase && c >= 'A' && c <= 'Z')) break;
    int len = prog->prefix_length;
    if (len + 2 > (int)sizeof prog->prefix) break;
    if (c < 256) {
      prog->prefix[len++] = (char)c;
    } else {
      prog->prefix[len++] = (char)(c >> 8);
      prog->prefix[len++] = (char)(c & 0xFF);
    }
    prog->prefix_length = len;
    s = t.target;
  }
  if (prog->prefix_bol && prog->prefix_length == 1) {
    prog->prefix_length = 0;
    prog->prefix_bol = false;
  }
}

// The opening chain (see RegexProgram::chain). A chain of single transitions never returns to a
// state (a loop needs a closure, whose state has two), and it is cut at 16 labels anyway.
void analyse_chain(RegexProgram* prog) {
  int s = prog->start_state, len = 0, tests = 0;
  bool backref = false, anchor = false;
  while (s != prog->end_state && len < (int)(sizeof prog->chain / sizeof prog->chain[0]) &&
         prog->first[s + 1] - prog->first[s] == 1) {
    const RxTransition& t = prog->trans[prog->first[s]];
    prog->chain[len++] = t.label;
    if (rx_is_backref(t.label)) backref = true;
    if (rx_is_anchor(t.label)) anchor = true;
    if (t.label != RX_EMPTY && !rx_is_tag_mark(t.label)) ++tests;
    s = t.target;
  }
  prog->chain_length = len;
  // A prefix is checked whole by its scan already.
  prog->chain_check = prog->prefix_length == 0 && (backref || tests >= 2);
  prog->chain_scan = prog->chain_check && !anchor;
}

}  // namespace

bool rx_build(RegexProgram* prog, RxNodePool* pool, int root) {
  Builder b;
  memset(&b, 0, sizeof b);
  b.prog = prog;
  prog->start_state = new_state(&b);
  prog->end_state = new_state(&b);
  push(&b, {root, prog->start_state, prog->end_state, 0});
  while (b.task_count > 0 && !b.failed) {
    Task t = b.tasks[--b.task_count];
    build_node(&b, pool, t);
  }
  bool ok = !b.failed;
  if (ok) {
    prog->state_count = b.states;
    prog->first = (int*)calloc((size_t)b.states + 1, sizeof(int));
    prog->trans = (RxTransition*)malloc(sizeof(RxTransition) * ((size_t)b.edge_count + 1));
    ok = prog->first && prog->trans;
  }
  if (ok) {
    // Group the edges by their state, keeping their order.
    for (int i = 0; i < b.edge_count; ++i) prog->first[b.edges[i].from + 1]++;
    for (int s = 0; s < b.states; ++s) prog->first[s + 1] += prog->first[s];
    int* fill = (int*)malloc(sizeof(int) * ((size_t)b.states + 1));
    ok = fill != nullptr;
    if (ok) {
      memcpy(fill, prog->first, sizeof(int) * ((size_t)b.states + 1));
      for (int i = 0; i < b.edge_count; ++i)
        prog->trans[fill[b.edges[i].from]++] = {b.edges[i].label, b.edges[i].to};
      prog->trans_count = b.edge_count;
      free(fill);
    }
  }
  free(b.edges);
  free(b.tasks);
  return ok;
}

void rx_analyse(RegexProgram* prog) {
  analyse_start(prog);
  analyse_prefix(prog);
  analyse_chain(prog);
  int m = prog->prefix_length;
  for (int b = 0; b < 256; ++b) prog->prefix_skip[b] = (uint8_t)(m ? m : 1);
  for (int i = 0; i + 1 < m; ++i)
    prog->prefix_skip[(uint8_t)prog->prefix[i]] = (uint8_t)(m - 1 - i);
}
