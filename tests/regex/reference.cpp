#include "reference.h"

#include <cstring>
#include <map>

namespace {

struct Ch {
  uint32_t code;
  long len;
};

bool lead(unsigned b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool trail(unsigned b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

struct Ref {
  const RegexProgram* prog;
  const unsigned char* t;
  long n;
  unsigned mopts;
  bool bol = false;
  bool capture = false;
  bool done = false;
  bool stopped = false;
  bool guarded = false;
  bool nest_reported = false;
  long target = 0;
  long furthest = -1;
  long steps = 0;
  long limit = 0;
  std::vector<std::pair<long, int>> on_path;  // (position, state) of the steps under way
  std::vector<std::pair<int32_t, long>> path;
  std::vector<long> tb, te;
  std::vector<std::string> messages;

  Ch read(long p) const {
    if (p >= n) return {0, 0};
    unsigned b = t[p];
    if (b == '\r' && p + 1 < n && t[p + 1] == '\n') return {0x0D0A, 2};
    if (prog->bytes || b < 0x80) return {b, 1};
    if (lead(b)) {
      if (p + 1 == n) return {0, 1};
      return trail(t[p + 1]) ? Ch{b * 256 + t[p + 1], 2} : Ch{b, 1};
    }
    if ((b == 0x80 || b == 0xA0) && p + 2 < n && t[p + 1] >= 0x40 && t[p + 2] >= 0x40) {
      unsigned unit = (b == 0xA0 ? 0x8000 : 0) + (t[p + 1] - 0x40) * 188 + (t[p + 2] - 0x40);
      return {(unit & 0xFFFF) + 0x10000, 3};
    }
    return {b, 1};
  }
  uint32_t up(uint32_t c) const { return prog->icase && c >= 'a' && c <= 'z' ? c - 32 : c; }
  static bool word(uint32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '$' ||
           c == '_';
  }
  bool word_at(long p) const {
    Ch c = read(p);
    return c.len > 0 && word(c.code);
  }
  bool prev_word(long p) const {
    if (p == 0) return (mopts & 2) != 0;
    long s = 0;
    while (s + read(s).len < p) s += read(s).len;
    return word_at(s);
  }
  static bool linebreak(uint32_t c) { return c == 0x0D0A || c == '\n'; }

  // The special classes by their members, as the syntax lists them: ranges of codes. A "non"
  // class (and "." ) holds what its positive set leaves out, line breaks excepted.
  bool special(int32_t k, uint32_t c) const {
    struct Range {
      uint32_t lo, hi;
    };
    const int32_t kEof = -1;  // the set "." leaves out
    static const std::map<int32_t, std::vector<Range>> members = {
        {kEof, {{0x1A, 0x1A}}},
        {RX_LINEBREAK, {{'\n', '\n'}, {0x0D0A, 0x0D0A}}},
        {RX_BLANK, {{' ', ' '}, {'\t', '\t'}, {0x8140, 0x8140}}},  // ideographic space
        {RX_DIGIT, {{'0', '9'}}},
        {RX_LOWER, {{'a', 'z'}}},
        {RX_UPPER, {{'A', 'Z'}}},
        {RX_ZDIGIT, {{0x824F, 0x8258}}},  // full-width digits
        {RX_ZLOWER, {{0x8281, 0x829A}}},
        {RX_ZUPPER, {{0x8260, 0x8279}}},
        {RX_WORD, {{'0', '9'}, {'A', 'Z'}, {'a', 'z'}, {'$', '$'}, {'_', '_'}}},
    };
    static const std::map<int32_t, int32_t> complement_of = {
        {RX_ANY, kEof}, {RX_NONWORD, RX_WORD}, {RX_NONBLANK, RX_BLANK}, {RX_NONDIGIT, RX_DIGIT}};
    auto holds = [c](const std::vector<Range>& set) {
      for (const Range& r : set)
        if (c >= r.lo && c <= r.hi) return true;
      return false;
    };
    auto other = complement_of.find(k);
    if (other != complement_of.end()) return !linebreak(c) && !holds(members.at(other->second));
    auto set = members.find(k);
    return set != members.end() && holds(set->second);
  }

  // One member of the class text at q: a code, or a special class in *k.
  long member(const std::string& s, long q, uint32_t* code, int32_t* k) const {
    *k = 0;
    auto hex = [](char h) {
      return h >= '0' && h <= '9'   ? h - '0'
             : h >= 'a' && h <= 'f' ? h - 'a' + 10
             : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                    : -1;
    };
    auto char_at = [&](long i) {
      Ref sub = *this;
      sub.t = (const unsigned char*)s.data();
      sub.n = (long)s.size();
      Ch c = sub.read(i);
      if (c.len == 1 && c.code == 0) c.code = (unsigned char)s[i];
      return c;
    };
    if (s[q] == '\\' && q + 1 < (long)s.size()) {
      char e = s[q + 1];
      if (e == 'd') return *k = RX_DIGIT, q + 2;
      if (e == 's') return *k = RX_BLANK, q + 2;
      if (e == 'w') return *k = RX_WORD, q + 2;
      if (e == 't') return *code = '\t', q + 2;
      if (e == 'x' && q + 3 < (long)s.size() && hex(s[q + 2]) >= 0 && hex(s[q + 3]) >= 0)
        return *code = up(hex(s[q + 2]) * 16 + hex(s[q + 3])), q + 4;
      Ch c = char_at(q + 1);
      *code = up(c.code);
      return q + 1 + c.len;
    }
    Ch c = char_at(q);
    *code = up(c.code);
    return q + c.len;
  }

  bool in_class(const RxClass* cls, uint32_t c) const {
    if (linebreak(c)) return false;
    std::string s(cls->text, cls->length);
    long q = 0;
    bool neg = false, in = false;
    if (!s.empty() && s[0] == '^') neg = true, q = 1;
    while (q < (long)s.size()) {
      uint32_t lo;
      int32_t k;
      q = member(s, q, &lo, &k);
      if (k) {
        in = in || special(k, c);
        continue;
      }
      if (q + 1 < (long)s.size() && s[q] == '-') {
        uint32_t hi;
        int32_t k2;
        long after = member(s, q + 1, &hi, &k2);
        if (!k2) {
          in = in || (c >= lo && c <= hi);
          q = after;
          continue;
        }
      }
      in = in || c == lo;
    }
    return in != neg;
  }

  bool tag_on_path(int tag, long* b, long* e) const {
    long i = (long)path.size() - 1;
    while (i >= 0 && path[i].first != RX_TAG_END + tag) --i;
    if (i < 0) return false;
    *e = path[i].second;
    while (i >= 0 && path[i].first != RX_TAG_START + tag) --i;
    if (i < 0) return false;
    *b = path[i].second;
    return true;
  }

  void step(int s, long p, int depth) {
    if (stopped || done) return;
    if (depth > REGEX_MAX_DEPTH) {
      if (!capture && !nest_reported) messages.push_back(RX_MSG_STACK);
      nest_reported = true;
      guarded = true;
      return;
    }
    if (++steps >= limit) {
      if (!capture) messages.push_back(RX_MSG_STEPS);
      stopped = true;
      return;
    }
    for (auto& v : on_path)
      if (v.first == p && v.second == s) return;  // a loop that consumed nothing
    if (s == prog->end_state) {
      if (!capture) {
        furthest = std::max(furthest, p);
      } else if (p == target) {
        for (int k = 0; k < prog->group_count; ++k) {
          tb[k] = te[k] = -1;
          tag_on_path(k, &tb[k], &te[k]);
        }
        done = true;
      }
      return;
    }
    on_path.push_back({p, s});
    for (int i = prog->first[s]; i < prog->first[s + 1] && !done && !stopped; ++i) {
      int32_t label = prog->trans[i].label;
      int to = prog->trans[i].target;
      if (label == RX_EMPTY) {
        step(to, p, depth + 1);
      } else if (rx_is_tag_mark(label)) {
        path.push_back({label, p});
        step(to, p, depth + 1);
        path.pop_back();
      } else if (rx_is_backref(label)) {
        int tag = label - RX_BACKREF;
        long b, e;
        if (tag < prog->group_count && tag_on_path(tag, &b, &e) && p + (e - b) <= n &&
            std::memcmp(t + b, t + p, e - b) == 0)
          step(to, p + (e - b), depth + 1);
      } else if (rx_is_anchor(label)) {
        bool ok = false;
        switch (label) {
          case RX_WORD_START:
            ok = !prev_word(p);
            break;
          case RX_WORD_END:
            ok = !word_at(p);
            break;
          case RX_BOUNDARY:
            ok = !prev_word(p) || !word_at(p);
            break;
          case RX_NOT_BOUNDARY:
            ok = prev_word(p) && word_at(p);
            break;
          case RX_LINE_START:
            ok = bol;
            break;
          case RX_LINE_END:
            if (p >= n) {
              ok = !(mopts & 4);
            } else {
              uint32_t c = read(p).code;
              ok = c == 0x0D0A || c == 0 || c == '\n' || c == '\r' || c == 0x1A;
            }
            break;
        }
        if (ok) step(to, p, depth + 1);
      } else {
        Ch c = read(p);
        if (c.len == 0) continue;
        uint32_t code = up(c.code);
        bool ok = rx_is_class(label)  ? in_class(&prog->classes[label & 0x7FFFFFFF], code)
                  : rx_is_char(label) ? code == (uint32_t)label
                                      : special(label, code);
        if (ok) step(to, p + c.len, depth + 1);
      }
    }
    on_path.pop_back();
  }

  void start(long p, bool cap, long tgt) {
    bol = p == 0 ? !(mopts & 1) : t[p - 1] == '\n';
    capture = cap;
    target = tgt;
    done = false;
    furthest = -1;
    steps = 0;
    on_path.clear();
    path.clear();
    step(prog->start_state, p, 1);
    if (guarded) stopped = true;
  }
};

}  // namespace

RefMatch ref_search(const RegexProgram* prog, const std::string& text, unsigned options) {
  RefMatch m;
  Ref r;
  r.prog = prog;
  r.t = (const unsigned char*)text.data();
  r.n = (long)text.size();
  r.mopts = (prog->match_options & ~15u) | (options & 15u);
  r.limit = (r.mopts & REGEX_LOW_STEPS) ? REGEX_LOW_MAX_STEPS : REGEX_MAX_STEPS;
  r.tb.assign(prog->group_count, -1);
  r.te.assign(prog->group_count, -1);
  bool empty = prog->flags & REGEX_FLAG_EMPTY;
  std::vector<long> starts;
  for (long p = 0;; p += r.read(p).len) {
    starts.push_back(p);
    if (p >= r.n) break;
  }
  long best = -1, end = -1;
  if (!(options & REGEX_BACKWARD)) {
    for (long p : starts) {
      r.start(p, false, 0);
      if (r.stopped) break;
      if (r.furthest >= 0 && (r.furthest != p || empty)) {
        best = p, end = r.furthest;
        break;
      }
    }
  } else {
    for (long i = (long)starts.size() - 1; i >= 0; --i) {
      long p = starts[i];
      r.start(p, false, 0);
      if (r.stopped) {
        best = -1;
        break;
      }
      bool matched = r.furthest >= 0 && (r.furthest != p || empty);
      if (!matched) {
        if (best >= 0) break;
        continue;
      }
      if (best < 0) {
        best = p, end = r.furthest;
        if (empty) break;
      } else if (r.furthest == end) {
        best = p;
      } else {
        break;
      }
    }
  }
  m.messages = r.messages;
  m.stopped = r.stopped;
  if (best >= 0 && !r.stopped) {
    r.start(best, true, end);
    m.found = true;
    m.start = best;
    m.length = end - best;
    m.tag_begin = r.tb;
    m.tag_end = r.te;
  }
  return m;
}
