// zqtool path, run as a program: one line of output per question, no file system needed.

#include <gtest/gtest.h>

#include <string>

#include "support/zqtool_run.h"

namespace {

#ifndef _WIN32
// Runs "zqtool path ARGS"; its output and exit status.
std::string run_tool(const std::string& args, int* status) {
  ToolRun r = zqtool_run("path " + args);
  *status = r.status;
  return r.out;
}

class ZqtoolPath : public ::testing::Test {
 protected:
  void SetUp() override {
    if (zqtool_path().empty()) GTEST_SKIP() << "zqtool not built in ZQ_BINARY_DIR";
  }
};

TEST_F(ZqtoolPath, AnswersOneLine) {
  struct Case {
    const char* args;
    const char* out;
  };
  const Case cases[] = {
      {"join 'C:\\a\\b.txt' c.txt", "C:\\a\\c.txt\n"},
      {"join 'C:\\a\\' '..\\x'", "C:\\x\n"},
      {"join 'C:\\a\\b.txt' '\\y'", "C:\\y\n"},
      {"norm 'C:\\a\\.\\b\\..\\c'", "C:\\a\\c\n"},
      {"ext 'a.b/c.txt'", ".txt\n"},
      {"ext 'a.b/c'", "\n"},
      {"name 'C:\\x\\y.z'", "y.z\n"},
      // UTF-8 in and out; the internal form of U+30BD ends in 0x5C and is no separator.
      {"join 'C:\\\xE3\x82\xBD\\f' '..\\g'", "C:\\g\n"},
      {"name 'C:\\x\\\xE8\xA1\xA8'", "\xE8\xA1\xA8\n"},
      {"name 'C:\\x\\\xE3\x81\x81\\y'", "y\n"},  // read as Shift-JIS, 81 5C would hide the "\\"
      // Bytes that are not UTF-8 are taken as internal text as they stand.
      {"join 'C:\\\x83\x5C\\f' '..\\g'", "C:\\g\n"},
      {"name 'C:\\x\\\x95\x5C'", "\x95\x5C\n"},
  };
  for (const Case& c : cases) {
    int status = -1;
    EXPECT_EQ(run_tool(c.args, &status), c.out) << c.args;
    EXPECT_EQ(status, 0) << c.args;
  }
}

TEST_F(ZqtoolPath, BadUseIsAnErrorWithoutOutput) {
  for (const char* args : {"", "join onlyone", "norm", "bogus x", "name a b"}) {
    int status = -1;
    EXPECT_EQ(run_tool(args, &status), "") << args;
    EXPECT_EQ(status, 2) << args;
  }
}
// Asked for, the usage and the version go to stdout with status 0; a mistake gets the usage on
// stderr and status 2.
TEST(ZqtoolUsage, HelpAndVersionOnStdout) {
  if (zqtool_path().empty()) GTEST_SKIP() << "zqtool not built in ZQ_BINARY_DIR";
  struct Case {
    const char* args;
    int status;
    const char* out_has;  // null: no output
  };
  const Case cases[] = {
      {"--help", 0, "pak build SRCDIR"},
      {"-h", 0, "path join BASE"},
      {"re --help", 0, "re [-i]"},
      {"pak -h", 0, "pak verify FILE"},
      {"--version", 0, "zqtool 0."},
      {"", 2, nullptr},
      {"--bogus", 2, nullptr},
      {"pak build a b --threads x", 2, nullptr},
      {"pak build a b --threads -1", 2, nullptr},
  };
  for (const Case& c : cases) {
    ToolRun r = zqtool_run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    if (c.out_has)
      EXPECT_NE(r.out.find(c.out_has), std::string::npos) << c.args << ": " << r.out;
    else
      EXPECT_EQ(r.out, "") << c.args;
  }
  EXPECT_EQ(zqtool_run("re --help").out.find("pak build"), std::string::npos);
  EXPECT_NE(zqtool_run("").err.find("usage: zqtool"), std::string::npos);
}
#endif

}  // namespace
