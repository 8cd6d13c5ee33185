#include "regex/regex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "reference.h"
#include "regex/regex_internal.h"
#include "ui/notify.h"

namespace {

std::vector<std::string> g_messages;

int sink(NotifyKind, const char* message, unsigned) {
  g_messages.push_back(message);
  return NOTIFY_YES;
}

struct Messages {
  Messages() {
    g_messages.clear();
    notify_set_sink(sink);
  }
  ~Messages() { notify_set_sink(nullptr); }
};

struct Found {
  bool found = false;
  long start = -1;
  long length = 0;
  std::string text;
};

Found search(RegexProgram* prog, const std::string& text, unsigned options = 0) {
  Found f;
  long len = 0;
  const char* m = regex_search(prog, text.data(), (long)text.size(), options, &len);
  if (m) {
    f.found = true;
    f.start = m - text.data();
    f.length = len;
    f.text.assign(m, len);
  }
  return f;
}

// The first match of pattern in text, as a string ("<none>" when nothing matches).
std::string first(const char* pattern, const std::string& text, unsigned options = 0,
                  unsigned match_options = 0, unsigned flags = 0, unsigned search_options = 0) {
  RegexProgram* prog = regex_new(pattern, options, match_options, flags);
  if (!prog) return "<error>";
  Found f = search(prog, text, search_options);
  regex_free(prog);
  return f.found ? f.text : "<none>";
}

std::string tag(RegexProgram* prog, int n) {
  long len = 0;
  const char* t = regex_tag(prog, n, &len, 0);
  return t ? std::string(t, len) : "-";
}

// Hiragana A, I and the full-width digit 1 in Shift-JIS.
const std::string A = "\x82\xa0";
const std::string I = "\x82\xa2";
const std::string Z1 = "\x82\x50";

TEST(RegexSyntax, RepetitionCounts) {
  Messages quiet;
  EXPECT_EQ(first("a{3}", "aaaaa"), "aaa");
  EXPECT_EQ(first("a{3}", "aa"), "<none>");
  EXPECT_EQ(first("a{2,4}", "aaaaaa"), "aaaa");
  EXPECT_EQ(first("a{2,4}", "a-aa"), "aa");
  EXPECT_EQ(first("ba{2,}", "baaaaaaa"), "baaaaaaa");
  EXPECT_EQ(first("ba{2,}", "ba"), "<none>");
  EXPECT_EQ(first("ba{0,2}c", "bc"), "bc");
  EXPECT_EQ(first("ba{0,2}c", "baac"), "baac");
  EXPECT_EQ(first("ba{0,2}c", "baaac"), "<none>");
  EXPECT_EQ(first("ba{0}c", "bc"), "bc");
  EXPECT_EQ(first("ba{0}c", "bac"), "<none>");
  EXPECT_EQ(first("b(xy){2}", "bxyxyxy"), "bxyxy");
  EXPECT_EQ(first("ab+", "abbbc"), "abbb");
  EXPECT_EQ(first("ab?c", "ac"), "ac");
  EXPECT_EQ(first("a*", "aaa"), "aaa");
  // Spans too wide for the flat form are built as nested optional copies.
  EXPECT_EQ(first("a{1,50}", std::string(60, 'a')), std::string(50, 'a'));
  EXPECT_EQ(first("\\d{1,64}", "x" + std::string(70, '7')), std::string(64, '7'));
  EXPECT_EQ(first("x(ab){1,30}y", "xababy"), "xababy");
  EXPECT_EQ(first("ba{3,255}c", "baac"), "<none>");
  Messages m;
  EXPECT_EQ(first("a{1,60", "aaa"), "aaa");  // the unclosed brace is reported once
  EXPECT_EQ(g_messages.size(), 1u);
}

TEST(RegexSyntax, EscapesAndCharacters) {
  Messages quiet;
  EXPECT_EQ(first("\\101", "xAy"), "A");
  EXPECT_EQ(first("\\377", "a\xFF"), "\xFF");
  // Three octal digits make a character only from \\0 to \\3; \\4 on is a back-reference.
  EXPECT_EQ(first("(a)(b)(c)(d)\\401", "abcdd01"), "abcdd01");
  EXPECT_EQ(first("(a)(b)(c)(d)(e)(f)(g)\\777", "abcdefgg77"), "abcdefgg77");
  EXPECT_EQ(first("\\x41", "xAy"), "A");
  EXPECT_EQ(first("\\xZ1", "axZ1"), "xZ1");
  EXPECT_EQ(first("\\0", "a0"), "0");
  EXPECT_EQ(first("a\\tb", "a\tb"), "a\tb");
  EXPECT_EQ(first("a\\nb", "a\r\nb"), "a\r\nb");
  EXPECT_EQ(first("a\\nb", "a\nb"), "a\nb");
  EXPECT_EQ(first("\\d+", "ab123c"), "123");
  EXPECT_EQ(first("\\D+", "12ab3"), "ab");
  EXPECT_EQ(first("\\w+", "--a_$1--"), "a_$1");
  EXPECT_EQ(first("\\s+",
                  "a \t\x81\x40"
                  "b"),
            " \t\x81\x40");
  EXPECT_EQ(first("\\S+", "  ab\ncd"), "ab");  // never a line break
  EXPECT_EQ(first("\\W", "ab\n-"), "-");
  EXPECT_EQ(first("\\Ｄ+", "x" + Z1 + Z1 + "1"), Z1 + Z1);
  EXPECT_EQ(first("\\.", "a.b"), ".");
  EXPECT_EQ(first("a.c", "a" + A + "c"), "a" + A + "c");  // a pair is one character
  EXPECT_EQ(first("a..c", "a" + A + "c"), "<none>");
  EXPECT_EQ(first("a.c", "a\nc"), "<none>");
  EXPECT_EQ(first("a.c",
                  "a\x1a"
                  "c"),
            "<none>");
  // In byte mode every byte is a character.
  EXPECT_EQ(first("a..c", "a" + A + "c", 0, REGEX_BYTES), "a" + A + "c");
  // A trail byte that looks like a letter is not that letter.
  EXPECT_EQ(first("A", "\x82\x41"), "<none>");
  EXPECT_EQ(first("A", "\x82\x41", 0, REGEX_BYTES), "A");
  // The LF of CR LF is not a character of its own.
  EXPECT_EQ(first("\nl", "\r\nl"), "<none>");
  EXPECT_EQ(first("\\x0al", "x\r\nl \nl"), "\nl");
}

TEST(RegexSyntax, ExtensionTriplesAreOneCharacter) {
  Messages quiet;
  // 0x80 0x41 0x42 carries one UTF-16 unit; "." takes all three bytes.
  std::string triple = "\x80\x41\x42";
  EXPECT_EQ(first("x.y", "x" + triple + "y"), "x" + triple + "y");
  EXPECT_EQ(first(("x" + triple + "y").c_str(), "ax" + triple + "y"), "x" + triple + "y");
  // Followed by a byte below 0x40 the lead stands alone.
  EXPECT_EQ(first("x..", std::string("x\x80\x30") + "z"), std::string("x\x80\x30"));
  // Two encodings of the same unit are the same character.
  std::string same = "\x80\x40\xfc";  // (0) * 188 + 188 = unit 188 = 0x80 0x41 0x40
  EXPECT_EQ(first("\x80\x41\x40", "a" + same), same);
}

TEST(RegexSyntax, Classes) {
  Messages quiet;
  EXPECT_EQ(first("[]a]+", "x]a]b"), "]a]");
  EXPECT_EQ(first("[^]a]+", "]]xyz]"), "xyz");
  EXPECT_EQ(first("[a-c]+", "xxabcd"), "abc");
  EXPECT_EQ(first("[-a]+", "x-a-"), "-a-");
  EXPECT_EQ(first("[a-]+", "x-a-"), "-a-");
  EXPECT_EQ(first("[\\d.]+", "ab1.2c"), "1.2");
  EXPECT_EQ(first("[\\w]+", "--ab_9--"), "ab_9");
  EXPECT_EQ(first("[\\x41-\\x43]+", "xABCD"), "ABC");
  EXPECT_EQ(first("[\\t]", "a\tb"), "\t");
  EXPECT_EQ(first("[\\]]", "a]b"), "]");
  EXPECT_EQ(first("[\\n]", "a\nnb"), "n");  // other escapes stand for themselves
  EXPECT_EQ(first("[^\\s]+", " ab\ncd"), "ab");
  EXPECT_EQ(first("[^\\s]+", "\n\r\n x"), "x");
  EXPECT_EQ(first("[^a]", "\na"), "<none>");
  EXPECT_EQ(first(("[" + A + "-" + I + "]+").c_str(), "x" + I + A + "\x82\xa4"), I + A);
  EXPECT_EQ(first("[^a]+", "a" + A + "b"), A + "b");
}

TEST(RegexSyntax, CaseInsensitive) {
  Messages quiet;
  EXPECT_EQ(first("abc", "xAbC", REGEX_ICASE), "AbC");
  EXPECT_EQ(first("[a-c]+", "xAbCd", REGEX_ICASE), "AbC");
  EXPECT_EQ(first("[A-C]+", "xabcd", REGEX_ICASE), "abc");
  EXPECT_EQ(first("\\x61", "A", REGEX_ICASE), "A");
  EXPECT_EQ(first("[\\d]+", "a12", REGEX_ICASE), "12");  // escapes keep their meaning
  EXPECT_EQ(first("abc", "xAbC"), "<none>");
  // Multibyte characters are compared as they are: full-width a and A differ.
  EXPECT_EQ(first("\x82\x81", "\x82\x60", REGEX_ICASE), "<none>");
  // A back-reference needs the same bytes.
  EXPECT_EQ(first("(a)\\1", "aA", REGEX_ICASE), "<none>");
  EXPECT_EQ(first("(a)\\1", "Aa aa", REGEX_ICASE), "aa");
}

TEST(RegexTags, GroupsAndBackReferences) {
  Messages quiet;
  RegexProgram* prog = regex_new("(a)(b)\\2", 0, 0, 0);
  ASSERT_NE(prog, nullptr);
  EXPECT_EQ(regex_tag_count(prog), 2);
  Found f = search(prog, "xabbab");
  EXPECT_EQ(f.start, 1);
  EXPECT_EQ(f.text, "abb");
  EXPECT_EQ(tag(prog, 0), "a");
  EXPECT_EQ(tag(prog, 1), "b");
  EXPECT_EQ(tag(prog, REGEX_TAG_LAST), "b");
  long len = 0;
  std::string text = "xabbab";
  const char* pos = regex_search(prog, text.data(), (long)text.size(), 0, &len);
  ASSERT_NE(pos, nullptr);
  EXPECT_EQ(regex_tag(prog, 1, &len, REGEX_TAG_POSITION), text.data() + 2);
  EXPECT_EQ(len, 1);
  EXPECT_EQ(tag(prog, 2), "-");  // no such group
  regex_tags_clear(prog);
  EXPECT_EQ(tag(prog, 0), "-");
  regex_free(prog);

  EXPECT_EQ(first("$1", "a"), "<none>");  // a reference to a group that does not exist
  EXPECT_EQ(first("(a|b)$1", "abba"), "bb");
  EXPECT_EQ(first(("(" + A + ")\\1").c_str(), "x" + A + I + A + A), A + A);
  EXPECT_EQ(first("(a*)b\\1", "aabaa"), "aabaa");
  EXPECT_EQ(first("(a*)b\\1", "aaba"), "aba");
}

TEST(RegexTags, GreedySplitAndUnusedGroups) {
  Messages quiet;
  RegexProgram* prog = regex_new("(a*)(a*)", 0, 0, 0);
  search(prog, "aaa");
  EXPECT_EQ(tag(prog, 0), "aaa");
  EXPECT_EQ(tag(prog, 1), "");
  regex_free(prog);
  prog = regex_new("(x)|(y)", 0, 0, 0);
  search(prog, "y");
  EXPECT_EQ(tag(prog, 0), "-");
  EXPECT_EQ(tag(prog, 1), "y");
  regex_free(prog);
  prog = regex_new("(a|b)*", 0, 0, 0);
  search(prog, "abab");
  EXPECT_EQ(tag(prog, 0), "b");  // the last pass of the loop
  regex_free(prog);
  prog = regex_new("(a)", 0, 0, 0);
  g_messages.clear();
  EXPECT_EQ(tag(prog, 9), "-");
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], "正規表現: タグは9個までです");
  regex_free(prog);
}

// Repetitions and options are tried longest first, so the tags show the greedy split; a counted
// repetition gives the same split whether it stands alone or is itself repeated.
TEST(RegexTags, CountedAndOptionalPartsTakeTheLongestSplit) {
  Messages quiet;
  struct Case {
    const char* pattern;
    const char* text;
    const char* match;
    const char* tag0;
    const char* tag1;
  };
  const Case cases[] = {
      {"(a{1,3})(a*)", "aaaa", "aaaa", "aaa", "a"},
      {"(a{0,2})(a*)", "aaa", "aaa", "aa", "a"},
      {"(a{2,})(a*)", "aaaa", "aaaa", "aaaa", ""},
      {"(a?)(a*)", "aa", "aa", "a", "a"},
      {"(a?)(a?)", "a", "a", "a", ""},
      {"((a{1,2}){2})(a*)", "aaaaa", "aaaaa", "aaaa", "aa"},
      {"((a?){2})(a*)", "aaa", "aaa", "aa", "a"},
      {"(x(a{1,3})){1,2}(a*)", "xaaaa", "xaaaa", "xaaa", "aaa"},
  };
  for (const Case& c : cases) {
    RegexProgram* prog = regex_new(c.pattern, 0, 0, 0);
    ASSERT_NE(prog, nullptr) << c.pattern;
    EXPECT_EQ(search(prog, c.text).text, c.match) << c.pattern;
    EXPECT_EQ(tag(prog, 0), c.tag0) << c.pattern;
    EXPECT_EQ(tag(prog, 1), c.tag1) << c.pattern;
    regex_free(prog);
  }
}

TEST(RegexMatch, LongestAtFirstStart) {
  Messages quiet;
  EXPECT_EQ(first("a|ab|abc", "xabcd"), "abc");
  EXPECT_EQ(first("(a|ab)(c|bcd)", "abcd"), "abcd");
  // Patterns that can only match empty report nothing unless empty matches are allowed.
  EXPECT_EQ(first("x*", "aaa"), "<none>");
  RegexProgram* prog = regex_new("x*", 0, 0, REGEX_FLAG_EMPTY);
  Found f = search(prog, "aaa");
  EXPECT_TRUE(f.found);
  EXPECT_EQ(f.start, 0);
  EXPECT_EQ(f.length, 0);
  regex_free(prog);
}

TEST(RegexMatch, Anchors) {
  Messages quiet;
  EXPECT_EQ(first("^b", "ab"), "<none>");
  EXPECT_EQ(first("^b", "a\nb"), "b");
  EXPECT_EQ(first("^a", "ab"), "a");
  EXPECT_EQ(first("^a", "ab", 0, 0, 0, REGEX_NOT_BOL), "<none>");
  EXPECT_EQ(first("a$", "ab"), "<none>");
  EXPECT_EQ(first("a$", "xa\r\nb"), "a");
  EXPECT_EQ(first("a$", "xa"), "a");
  EXPECT_EQ(first("a$", "xa", 0, 0, 0, REGEX_NOT_EOL), "<none>");
  EXPECT_EQ(first("<b", "ab b"), "b");
  RegexProgram* prog = regex_new("<b", 0, 0, 0);
  EXPECT_EQ(search(prog, "ab b").start, 3);
  EXPECT_FALSE(search(prog, "b", REGEX_PREV_WORD).found);
  EXPECT_TRUE(search(prog, "b").found);
  regex_free(prog);
  EXPECT_EQ(first("a>", "ab a."), "a");
  EXPECT_EQ(first("\\bab", "cab ab"), "ab");
  EXPECT_EQ(first("a\\Bb", "a b ab"), "ab");
  // A multibyte character before a letter is not a word character, even when its trail byte
  // is the code of a letter.
  EXPECT_EQ(first("<A",
                  "\x82\x41"
                  "A"),
            "A");
  EXPECT_EQ(first("\\BA",
                  "\x82\x41"
                  "A"),
            "<none>");
}

TEST(RegexMatch, BackwardSearch) {
  Messages quiet;
  RegexProgram* prog = regex_new("ab", 0, 0, 0);
  Found f = search(prog, "abab", REGEX_BACKWARD);
  EXPECT_EQ(f.start, 2);
  regex_free(prog);
  prog = regex_new("a+", 0, 0, 0);
  f = search(prog, "baaab", REGEX_BACKWARD);
  EXPECT_EQ(f.start, 1);
  EXPECT_EQ(f.length, 3);
  regex_free(prog);
  prog = regex_new("x", 0, 0, 0);
  f = search(prog,
             "\x82\x78"
             "x",
             REGEX_BACKWARD);  // the trail byte 0x78 is not an x
  EXPECT_EQ(f.start, 2);
  regex_free(prog);
}

TEST(RegexErrors, MessagesAndResults) {
  struct Case {
    const char* pattern;
    const char* message;
    bool compiles;
  } cases[] = {
      {"((((((((a))))))))", nullptr, true},
      {"(((((((((a)))))))))", "正規表現: タグのネストが深すぎます", false},
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)", "正規表現: タグのネストが深すぎます", false},
      {"a{3", "正規表現: {}が閉じていません", true},
      {"ab[cd", "正規表現: [ に対応する ] がありません", true},
      {"(ab", "正規表現: ()が閉じていません", false},
      {"*a", "正規表現: *や.の前に文字を指定してください", false},
      {"a**", "正規表現: *や.の前に文字を指定してください", false},
      {"a|+", "正規表現: *や.の前に文字を指定してください", false},
      {"a)b", "正規表現: 構文木エラー", false},
      {"a{300}", "正規表現が複雑すぎます", false},
      {"(a{200}){6}", "正規表現が複雑すぎます", false},
  };
  for (const Case& c : cases) {
    Messages m;
    RegexProgram* prog = regex_new(c.pattern, 0, 0, 0);
    EXPECT_EQ(prog != nullptr, c.compiles) << c.pattern;
    if (c.message) {
      ASSERT_EQ(g_messages.size(), 1u) << c.pattern;
      EXPECT_EQ(g_messages[0], c.message) << c.pattern;
    } else {
      EXPECT_TRUE(g_messages.empty()) << c.pattern;
    }
    regex_free(prog);
  }
  Messages m;
  // The repetition of an unclosed brace still applies; an unclosed class ends the pattern.
  EXPECT_EQ(first("a{3", "aaaa"), "aaa");
  EXPECT_EQ(first("ab[cd", "xabz"), "ab");
}

TEST(RegexProgramReuse, SamePatternIsKept) {
  Messages quiet;
  RegexProgram* prog = regex_new("ab", 0, 0, 0);
  const RxTransition* graph = prog->trans;
  EXPECT_TRUE(regex_compile(prog, "ab", 0, REGEX_LOW_STEPS));
  EXPECT_EQ(prog->trans, graph);
  EXPECT_EQ(prog->match_options, (unsigned)REGEX_LOW_STEPS);
  EXPECT_TRUE(regex_compile(prog, "ab", REGEX_ICASE, 0));
  EXPECT_TRUE(search(prog, "AB").found);
  // A failed compilation leaves a program that finds nothing, and a good one works again.
  EXPECT_FALSE(regex_compile(prog, "(ab", 0, 0));
  EXPECT_FALSE(search(prog, "ab").found);
  EXPECT_TRUE(regex_compile(prog, "b", 0, 0));
  EXPECT_EQ(search(prog, "ab").start, 1);
  regex_free(prog);
  EXPECT_EQ(regex_search(nullptr, "a", 1, 0, nullptr), nullptr);
  EXPECT_EQ(regex_tag_count(nullptr), 0);
  EXPECT_FALSE(regex_compile(nullptr, "a", 0, 0));
}

TEST(RegexGuards, RunawayPatternsStop) {
  {
    Messages m;
    RegexProgram* prog = regex_new("(a|aa)*c", 0, 0, 0);
    std::string text(60, 'a');
    Found f = search(prog, text);
    EXPECT_FALSE(f.found);
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(g_messages.back(), "正規表現を変更してください");
    regex_free(prog);
  }
  {
    Messages m;
    RegexProgram* prog = regex_new("(a|aa)*c", 0, REGEX_LOW_STEPS, 0);
    Found f = search(prog, std::string(60, 'a'));
    EXPECT_FALSE(f.found);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "正規表現を変更してください");
    regex_free(prog);
  }
  {
    // A run deeper than the nesting bound stops the search instead of the stack.
    Messages m;
    RegexProgram* prog = regex_new("a+", 0, 0, 0);
    Found f = search(prog, std::string(130000, 'a'));
    EXPECT_FALSE(f.found);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "スタックオーバー回避のため正規表現検索を中止しました");
    regex_free(prog);
  }
  {
    // A step back onto the current path cuts short empty loops without a message.
    Messages m;
    RegexProgram* prog = regex_new("<*b", 0, 0, 0);
    EXPECT_EQ(search(prog, "aaa b").start, 4);
    EXPECT_TRUE(g_messages.empty());
    regex_free(prog);
  }
}

TEST(RegexGuards, EmptyIterationsAndLongLinesMatch) {
  Messages m;
  const std::string run(600, 'a');  // longer than the old nesting limit
  struct Case {
    const char* pattern;
    std::string text, match;
  } cases[] = {
      {"(a?)*b", "aab", "aab"},
      {"(a|)*b", "aab", "aab"},
      {"(a*)+", "aaaaaa", "aaaaaa"},
      {"([^b]*)*", "aaaaaab", "aaaaaa"},
      {"X(.?){0,}Y", "X123Y", "X123Y"},
      {"(\\d?)+,", "x=1, y=22", "1,"},
      {"(a*)*", run, run},
      {"a.*b", "x" + run + "b", run + "b"},
  };
  for (const Case& c : cases) EXPECT_EQ(first(c.pattern, c.text), c.match) << c.pattern;
  EXPECT_TRUE(g_messages.empty());
}

// Generated patterns and texts over a small alphabet: the engine against the reference.
std::string random_pattern(std::mt19937& rng, int depth = 0) {
  static const char* atoms[] = {"a",
                                "b",
                                "c",
                                ".",
                                "\\d",
                                "\\w",
                                "\\s",
                                "\\n",
                                "[ab]",
                                "[^a]",
                                "[a-c]",
                                "\x82\xa0",
                                "[\x82\xa0-\x82\xa2]",
                                "\\S",
                                "^",
                                "$",
                                "<",
                                ">",
                                "\\b",
                                "\\B",
                                "\\1",
                                "$2",
                                "A",
                                "\x80\x41\x42",
                                "1",
                                "\\D",
                                "\\W",
                                "\\\x82\x63"};  // \\ and full-width D: full-width digits
  std::string s;
  int n = 1 + rng() % 4;
  for (int i = 0; i < n; ++i) {
    int kind = rng() % 10;
    std::string item;
    if (kind < 2 && depth < 2) {
      item = "(" + random_pattern(rng, depth + 1) + ")";
    } else if (kind == 2 && depth < 2) {
      item = "(" + random_pattern(rng, depth + 1) + "|" + random_pattern(rng, depth + 1) + ")";
    } else {
      item = atoms[rng() % (sizeof atoms / sizeof atoms[0])];
    }
    bool repeatable = item != "^" && item != "$" && item != "<" && item != ">";
    int rep = rng() % 12;
    if (repeatable) {
      if (rep == 0) item += "*";
      if (rep == 1) item += "+";
      if (rep == 2) item += "?";
      if (rep == 3) item += "{2}";
      if (rep == 4) item += "{1,3}";
      if (rep == 5) item += "{0,2}";
      if (rep == 6) item += "{2,}";
    }
    s += item;
  }
  if (depth == 0 && rng() % 6 == 0) s += "|" + random_pattern(rng, 1);
  return s;
}

std::string random_text(std::mt19937& rng) {
  static const char* pieces[] = {
      "a",       "b",    "c",        "A",        " ",        "\n",           "\r\n",
      "1",       "_",    "\x82\xa0", "\x82\xa1", "\x82\x61", "\x80\x41\x42", "\x82",
      "\r",      "\x1a", "\t",       "$",        "\x81\x40", "\x82\x4f",     "\x82\x58",
      "\x82\x59"};  // ideographic space, full-width 0, 9 and the code after 9
  std::string s;
  int n = rng() % 14;
  for (int i = 0; i < n; ++i) s += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
  return s;
}

TEST(RegexReference, EngineAgreesOnGeneratedInput) {
  Messages m;
  std::mt19937 rng(20261208);
  int compared = 0, matched = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string pattern = random_pattern(rng);
    unsigned options = rng() % 4 == 0 ? (unsigned)REGEX_ICASE : 0u;
    unsigned mopts = rng() % 5 == 0 ? (unsigned)REGEX_BYTES : 0u;
    mopts |= REGEX_LOW_STEPS;
    unsigned flags = rng() % 3 == 0 ? (unsigned)REGEX_FLAG_EMPTY : 0u;
    g_messages.clear();
    RegexProgram* prog = regex_new(pattern.c_str(), options, mopts, flags);
    if (!prog) continue;
    for (int j = 0; j < 6; ++j) {
      std::string text = random_text(rng);
      unsigned sopts = rng() % 8;
      if (rng() % 3 == 0) sopts |= REGEX_BACKWARD;
      g_messages.clear();
      RefMatch want = ref_search(prog, text, sopts);
      std::vector<std::string> ref_messages = g_messages;
      g_messages.clear();
      Found got = search(prog, text, sopts);
      SCOPED_TRACE("pattern [" + pattern + "] text [" + text + "] options " +
                   std::to_string(sopts));
      ASSERT_EQ(got.found, want.found);
      EXPECT_EQ(g_messages, want.messages);
      ++compared;
      if (want.stopped) break;  // one stopped search per pattern is enough (and slow)
      if (!want.found) continue;
      ++matched;
      ASSERT_EQ(got.start, want.start);
      ASSERT_EQ(got.length, want.length);
      for (int k = 0; k < regex_tag_count(prog); ++k) {
        long len = -1;
        const char* t = regex_tag(prog, k, &len, REGEX_TAG_POSITION);
        long begin = t ? t - text.data() : -1;
        ASSERT_EQ(begin, want.tag_begin[k]) << "tag " << k;
        if (t) {
          ASSERT_EQ(len, want.tag_end[k] - want.tag_begin[k]) << "tag " << k;
        }
      }
    }
    regex_free(prog);
  }
  EXPECT_GT(compared, 8000);
  EXPECT_GT(matched, 2000);
}

// Longer texts exercise the skipping of start positions.
TEST(RegexReference, SkippingKeepsEveryMatch) {
  Messages m;
  const char* patterns[] = {"abc",
                            "\x82\xa0\x82\xa2",
                            "[0-9]+",
                            "^a",
                            "^(b|\x82\xa0)c",
                            "(ab|\x82\xa0|c\x82\xa1|xyz)",
                            "(a)b\\1",
                            "A",
                            "b$",
                            "\\bab"};
  std::mt19937 rng(7);
  for (const char* pattern : patterns) {
    for (unsigned mopts : {0u, (unsigned)REGEX_BYTES}) {
      RegexProgram* prog = regex_new(pattern, 0, mopts, 0);
      ASSERT_NE(prog, nullptr) << pattern;
      for (int j = 0; j < 200; ++j) {
        std::string text;
        for (int k = 0; k < 10; ++k) text += random_text(rng);
        text += "abcxyz\x82\xa0\x82\xa2";
        unsigned sopts = rng() % 8;
        RefMatch want = ref_search(prog, text, sopts);
        Found got = search(prog, text, sopts);
        SCOPED_TRACE(std::string("pattern [") + pattern + "] text [" + text + "]");
        ASSERT_EQ(got.found, want.found);
        if (want.found) {
          ASSERT_EQ(got.start, want.start);
          ASSERT_EQ(got.length, want.length);
        }
      }
      regex_free(prog);
    }
  }
}

}  // namespace

namespace {

// Patterns that open with a chain of single transitions (classes, tags, back-references,
// anchors), which the engine tries before the walk and, without anchors, inside the candidate scan
// at every byte, and patterns that open with a line start and fixed bytes, found by a scan for the
// LF and the bytes: over long texts of mixed characters the engine agrees with the reference.
TEST(RegexReference, OpeningChainsKeepEveryMatch) {
  Messages m;
  struct Case {
    const char* pattern;
    unsigned options;
  };
  const Case cases[] = {
      {"([a-z])\\1", 0},
      {"([a-c])\\1", REGEX_ICASE},
      {"(.)\\1", 0},
      {"([^a])\\1", 0},
      {"(\\w)(\\w)\\2\\1", 0},
      {"([ab])\\1c", 0},
      {"[ab]c\\d", 0},
      {"\\S[ab]\x82\xa0", 0},
      {"([ab]\x82\xa1)\\1", 0},
      {"(a)(b)?\\1", 0},
      {"^[ab]c", 0},
      {"[ab]\\b ", 0},
      {"[ab]$", 0},
      {" <[ab]", 0},
      {"^ab", 0},
      {"^^b\x82\xa0", 0},
      {"(^a)\\1", 0},
      {"^\r\nb", 0},
  };
  std::mt19937 rng(23);
  for (const Case& c : cases) {
    for (unsigned mopts : {0u, (unsigned)REGEX_BYTES}) {
      RegexProgram* prog = regex_new(c.pattern, c.options, mopts, 0);
      ASSERT_NE(prog, nullptr) << c.pattern;
      int matched = 0;
      for (int j = 0; j < 150; ++j) {
        std::string text;
        for (int k = 0; k < 12; ++k) text += random_text(rng);
        text +=
            "aabbc1 b \x82\xa0\x82\xa0"
            "b\x82\xa1"
            "b\x82\xa1"
            "\naa\nab\nb\x82\xa0";
        unsigned sopts = rng() % 8;
        if (rng() % 4 == 0) sopts |= REGEX_BACKWARD;
        RefMatch want = ref_search(prog, text, sopts);
        Found got = search(prog, text, sopts);
        SCOPED_TRACE(std::string("pattern [") + c.pattern + "] text [" + text + "]");
        ASSERT_EQ(got.found, want.found);
        if (!want.found) continue;
        ++matched;
        ASSERT_EQ(got.start, want.start);
        ASSERT_EQ(got.length, want.length);
        for (int k = 0; k < regex_tag_count(prog); ++k) {
          long len = -1;
          const char* t = regex_tag(prog, k, &len, REGEX_TAG_POSITION);
          ASSERT_EQ(t ? t - text.data() : -1, want.tag_begin[k]) << "tag " << k;
        }
      }
      EXPECT_GT(matched, 0) << c.pattern;
      regex_free(prog);
    }
  }
}

}  // namespace
