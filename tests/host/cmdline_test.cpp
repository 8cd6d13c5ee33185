// The command line: tokens, and the CommandList each kind of argument writes.

#include "host/cmdline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/format.h"
#include "files/path.h"

namespace {

// The records of a list joined by '|' (each without its CR LF), tabs as they are.
std::string dump(Text* list) {
  std::string out;
  const char* s = text_cstr(list);
  for (; *s; ++s) {
    if (*s == '\r') continue;
    out += *s == '\n' ? '|' : *s;
  }
  return out;
}

std::string parse(const char* line, unsigned options, int show = 1) {
  Text* list = cmdline_parse(line, show, options);
  EXPECT_NE(list, nullptr);
  EXPECT_EQ(text_tell(list), 0);
  std::string s = dump(list);
  text_free(list);
  return s;
}

std::string noshow() {
  return std::to_string(ID("NOSHOW"));
}

struct TokenCase {
  const char* line;
  std::vector<std::string> tokens;
};

TEST(CmdlineToken, SplitsAsTheRulesSay) {
  const TokenCase cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"a b\tc", {"a", "b", "c"}},
      {"\"a b\" c", {"\"a b\"", "c"}},
      {"\"a b", {"a b"}},  // no closing quote: from after the quote to the end
      {"-x(\"a b\") y", {"-x(\"a b\")", "y"}},
      {"-x(\"a b\"z c", {"-x(\"a", "b\"z", "c"}},  // no ")" after the quote: up to the space
      {"/j10 -x(3)", {"/j10", "-x(3)"}},
      {"\"日本 語\" x", {"\"日本 語\"", "x"}},
  };
  for (const TokenCase& c : cases) {
    std::vector<std::string> got;
    const char* s = c.line;
    int n = 0;
    while (const char* t = cmdline_token(s, &n)) {
      got.emplace_back(t, (size_t)n);
      s = t + n;
    }
    EXPECT_EQ(got, c.tokens) << c.line;
  }
}

struct ParseCase {
  const char* line;
  unsigned options;
  std::string list;
};

TEST(CmdlineParse, WritesEveryRecordWithItsFormat) {
  const std::string ns = noshow();
  const std::string word = std::to_string(ID("WORD"));
  const ParseCase cases[] = {
      {"", CL_DEFAULT_APP, "app\tcab|show\t1|"},
      {"", 0, ""},
      {"prog.exe", CL_DEFAULT_APP | CL_PROGRAM, "app\tcab|show\t1|"},
      {"prog.exe -x", CL_PROGRAM, "app\tcab|show\t1|sw\tx\t0|"},
      {"-x(3) -y(-2) -z(word)", 0, "app\tcab|show\t1|sw\tx\t3|sw\ty\t-2|sw\tz\t" + word + "|"},
      {"-show(3) -noshow", 0, "app\tcab|show\t" + ns + "|"},
      {"-show(3) -x", 0, "app\tcab|show\t3|sw\tx\t0|"},
      {"-x(\"a b\")", 0, "app\tcab|show\t1|swstr\tx\ta b|"},
      {"-x.es(\"a\\41b\")", 0, "app\tcab|show\t1|swstr\tx\taAb|"},
      {"-toolongname(3) /other", CL_DEFAULT_APP,
       "app\tcab|show\t1|word\t-toolongname(3)|word\t/other|"},
      {"/S -? -x(\"a\"b\")", 0, "app\tcab|show\t1|word\t/S|word\t-?|swstr\tx\ta\"b|"},
      {"/j10 a.txt b.txt", 0,
       "app\tcab|show\t1|file\ta.txt|sw\tjmpara\t10|file\tb.txt|sw\tjmpara\t10|"},
      {"\"/j7\" a", 0, "app\tcab|show\t1|file\ta|sw\tjmpara\t7|"},
      {"a/b//c", 0, "app\tcab|show\t1|file\ta\\b//c|"},
      {"\"x y.txt\" \"日本 語.txt\"", 0, "app\tcab|show\t1|file\tx y.txt|file\t日本 語.txt|"},
      {"\"-x\" \"-1\" \"@0\"", 0, "app\tcab|show\t1|sw\tx\t0|file\t-1|file\t@0|"},
      {"\"unclosed x", 0, "app\tcab|show\t1|file\tunclosed x|"},
      {"@icon", CL_DEFAULT_APP, "app\ticon|show\t1|"},
      {"@icon -x @filer -noshow", 0, "app\ticon|show\t1|sw\tx\t0|app\tfiler|show\t" + ns + "|"},
      {"-x @icon", 0, "app\tcab|show\t1|sw\tx\t0|app\ticon|show\t1|"},
      {"@0", CL_DEFAULT_APP, "app\tcab|show\t1|"},
      {"@ -x @toolongname", 0, "app\tcab|show\t1|sw\tx\t0|"},  // no applet name: dropped
      {"@editor", CL_DEFAULT_APP, "app\tcab|show\t1|"},
      {"@editor a.txt", CL_DEFAULT_APP, "app\teditor|show\t1|file\ta.txt|"},
      {"a.txt", CL_EDITOR_ARG, "app\tedmdi1|show\t1|file\ta.txt|"},
      {"-x @y", CL_EDITOR_ARG, "app\tcab|show\t1|sw\tx\t0|app\ty|show\t1|"},
      {"prog.exe", CL_EDITOR_ARG | CL_PROGRAM | CL_DEFAULT_APP, "app\tcab|show\t1|"},
      // numbers beyond 32 bits drop their switch or jump, in both builds
      {"-x(2147483647) -y(-2147483648)", 0,
       "app\tcab|show\t1|sw\tx\t2147483647|sw\ty\t-2147483648|"},
      {"-x(99999999999) -y(2147483648) -z(-2147483649) -w", 0, "app\tcab|show\t1|sw\tw\t0|"},
      {"-show(4294967297) -x", 0, "app\tcab|show\t1|sw\tx\t0|"},
      {"/j3 a /j99999999999 b /j2147483647 c", 0,
       "app\tcab|show\t1|file\ta|sw\tjmpara\t3|file\tb|sw\tjmpara\t3|file\tc|"
       "sw\tjmpara\t2147483647|"},
  };
  for (const ParseCase& c : cases) EXPECT_EQ(parse(c.line, c.options), c.list) << c.line;
}

TEST(CmdlineParse, ShowCommandAndOptionBit) {
  EXPECT_EQ(parse("", CL_DEFAULT_APP, 7), "app\tcab|show\t7|");
  cmdline_set_option_bit(false);
  EXPECT_EQ(parse("@0", 0), "");
  EXPECT_TRUE(cmdline_option_bit());
  cmdline_set_option_bit(false);
}

TEST(CmdlineParse, JumpAddsScrollWhenTheSettingIsOn) {
  host_settings.scroll_on_jump = true;
  EXPECT_EQ(parse("/j3 a", 0), "app\tcab|show\t1|file\ta|sw\tjmpara\t3|sw\tscrjmp|");
  host_settings.scroll_on_jump = false;
}

// Bad input never ends a record early: no CR, LF or NUL reaches a value.
TEST(CmdlineParse, ValuesNeverBreakTheirRecord) {
  const ParseCase cases[] = {
      {"-x.es(\"a\\0Ab\\0dc\\00d\")", 0, "app\tcab|show\t1|swstr\tx\ta\\0Ab\\0dc\\00d|"},
      {"\"a\nsw\tshow\t3\" -x(\"b\rc\")", 0, "app\tcab|show\t1|file\ta sw\tshow\t3|swstr\tx\tb c|"},
      {"-x.es(\"\\4\\zz\")", 0, "app\tcab|show\t1|swstr\tx\t\\4\\zz|"},
  };
  for (const ParseCase& c : cases) EXPECT_EQ(parse(c.line, c.options), c.list) << c.line;
}

TEST(CmdlineSource, ZqnameReplacesTheCommandLineOnlyWithItsPrefix) {
  EXPECT_STREQ(cmdline_source("prog -x", "@zq -y"), "@zq -y");
  EXPECT_STREQ(cmdline_source("prog -x", "@zqx -y"), "prog -x");
  EXPECT_STREQ(cmdline_source("prog -x", ""), "prog -x");
  EXPECT_EQ(parse(cmdline_source("prog", "@zq -y(2)"), CL_PROGRAM), "app\tcab|show\t1|sw\ty\t2|");
  host_settings.editor_mode = 1;
  EXPECT_EQ(cmdline_startup_options(), unsigned(CL_DEFAULT_APP | CL_PROGRAM | CL_EDITOR_ARG));
  host_settings.editor_mode = 2;
  EXPECT_EQ(cmdline_startup_options(), unsigned(CL_DEFAULT_APP | CL_PROGRAM));
  host_settings.editor_mode = 0;
}

// Unquoted paths with spaces: joined with the following tokens when only the joined path exists.
class JoinedPath : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("zq_host_" + std::to_string((long long)std::hash<std::string>{}(
                            ::testing::UnitTest::GetInstance()->current_test_info()->name())));
    std::filesystem::create_directories(dir);
    path_set_program_path((dir / "zq9utl.exe").string().c_str());
  }
  void TearDown() override {
    path_set_program_path(nullptr);
    std::filesystem::remove_all(dir);
  }
  void touch(const char* name) {
    FILE* f = std::fopen((dir / name).string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
};

TEST_F(JoinedPath, TakesTheJoinedPathThatExists) {
  touch("a b  c.txt");
  touch("d");
  touch("a -x c.txt");  // a join across the switch would exist: the rule still stops there
  touch("p q");
  touch("r s t");
  std::filesystem::create_directories(dir / "u v");
  touch("u v/w x");
  const ParseCase cases[] = {
      {"zq://a b  c.txt -x", 0, "app\tcab|show\t1|file\tzq://a b  c.txt|sw\tx\t0|"},
      {"zq://d e", 0, "app\tcab|show\t1|file\tzq://d|file\te|"},  // exists alone
      {"zq://a b -x c.txt", 0, "app\tcab|show\t1|file\tzq://a|file\tb|sw\tx\t0|file\tc.txt|"},
      {"zq://a b \"c.txt\"", 0, "app\tcab|show\t1|file\tzq://a|file\tb|file\tc.txt|"},
      {"a b  c.txt", 0, "app\tcab|show\t1|file\ta|file\tb|file\tc.txt|"},  // relative: no join
      {"zq://a -x c.txt", 0, "app\tcab|show\t1|file\tzq://a|sw\tx\t0|file\tc.txt|"},
      // every path of a line joins on its own, and forward slashes of the join turn
      {"zq://p q zq://u v/w x zq://r s t zq://p", 0,
       "app\tcab|show\t1|file\tzq://p q|file\tzq://u v\\w x|file\tzq://r s t|file\tzq://p|"},
      {"zq://p q zq://p q", 0, "app\tcab|show\t1|file\tzq://p q|file\tzq://p q|"},
  };
  for (const ParseCase& c : cases) EXPECT_EQ(parse(c.line, c.options), c.list) << c.line;
}

}  // namespace
