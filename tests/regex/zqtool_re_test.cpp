// zqtool re as a user runs it (native build only: the tool is started through the shell).

#include <gtest/gtest.h>

#include <string>

#include "support/zqtool_run.h"

#ifndef _WIN32
namespace {

class ZqtoolRe : public ::testing::Test {
 protected:
  void SetUp() override {
    if (zqtool_path().empty()) GTEST_SKIP() << "zqtool not built";
    ASSERT_FALSE(scratch_.path.empty());
    dir_ = scratch_.path;
  }
  std::string file(const std::string& name, const std::string& bytes) {
    return scratch_.put(name, bytes);
  }
  // args are passed to the shell as they stand (quote them).
  ToolRun run(const std::string& args, std::string* err = nullptr) {
    ToolRun r = zqtool_run("re " + args);
    if (err) *err = r.err;
    return r;
  }
  ScratchDir scratch_;
  std::string dir_;
};

TEST_F(ZqtoolRe, PrintsMatchesWithTags) {
  std::string f = file("a.txt", "abc abd\nxab\r\n");
  ToolRun r = run("'a(b)(c)?' " + f);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0\t3\t1,1\t2,1\n4\t2\t5,1\t-\n9\t2\t10,1\t-\n");
  r = run("--count ab " + f);
  EXPECT_EQ(r.out, "3\n");
  r = run("--backward ab " + f);
  EXPECT_EQ(r.out, "9\t2\n4\t2\n0\t2\n");
  r = run("-i AB " + f);
  EXPECT_EQ(r.out, "0\t2\n4\t2\n9\t2\n");
}

TEST_F(ZqtoolRe, EmptyMatchesStepOneCharacter) {
  std::string f = file("e.txt", "a\x82\xa0");
  ToolRun r = run("--empty 'x*' " + f);
  EXPECT_EQ(r.out, "0\t0\n1\t0\n3\t0\n");
  r = run("--empty --bytes 'x*' " + f);
  EXPECT_EQ(r.out, "0\t0\n1\t0\n2\t0\n3\t0\n");
  r = run("'x*' " + f);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

TEST_F(ZqtoolRe, ReadsFilesInTheirCodeAndPatternsInUtf8) {
  std::string f = file("u.txt",
                       "a\xe3\x81\x82\xe3\x81\x84"
                       "b\n");  // UTF-8 text
  ToolRun r = run("'\xe3\x81\x84' " + f);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "3\t2\n");  // offsets in the internal (Shift-JIS) text
  // Every line of a converted file is searched: UTF-8, UTF-16, EUC-JP (日表).
  const std::string u16(
      "\xff\xfe"
      "a\0\n\0\x68\x88\n\0",
      10);
  const std::pair<std::string, const char*> files[] = {
      {"a\n\xe8\xa1\xa8\n", "2\t2\n"}, {u16, "2\t2\n"}, {"a\n\xc6\xfc\xc9\xbd\n", "4\t2\n"}};
  for (const auto& f : files)
    EXPECT_EQ(run("'\xe8\xa1\xa8' " + file("v.txt", f.first)).out, f.second);
}

TEST_F(ZqtoolRe, BadPatternsAndUsage) {
  std::string f = file("b.txt", "abc\n");
  std::string err;
  ToolRun r = run("'(ab' " + f, &err);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(err.find("\xe6\xad\xa3\xe8\xa6\x8f\xe8\xa1\xa8\xe7\x8f\xbe"), std::string::npos) << err;
  EXPECT_EQ(run("zzz " + f).status, 1);
  EXPECT_EQ(run("abc").status, 2);
  EXPECT_EQ(run("abc " + dir_ + "/missing").status, 2);
}

}  // namespace
#endif
