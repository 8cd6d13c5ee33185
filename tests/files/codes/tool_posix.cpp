// zqtool code, run as a program: detection lines, conversion, and a failing conversion that must
// leave an existing output file alone.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string tool() {
  const char* bin = std::getenv("ZQ_BINARY_DIR");
  return std::string(bin ? bin : ".") + "/zqtool";
}

struct ToolRun {
  int status;
  std::string out;
};
ToolRun run(const std::string& args) {
  ToolRun r{-1, ""};
  FILE* p = popen((tool() + " " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

void put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
std::string get(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class ZqtoolCode : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    if (access(tool().c_str(), X_OK) != 0) GTEST_SKIP() << "zqtool not built";
    char tmpl[] = "/tmp/zqcodesXXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir = tmpl;
  }
  void TearDown() override {
    if (!dir.empty() && system(("rm -rf " + dir).c_str())) {
    }
  }
};

TEST_F(ZqtoolCode, DetectPrintsOneLinePerFile) {
  put(dir + "/a.txt", "plain\n");
  put(dir + "/u.txt", "\xE6\x97\xA5\xE6\x9C\xAC\n");
  put(dir + "/k.txt", "\xB1\xB2\xFF");
  ToolRun r = run("code detect " + dir + "/a.txt " + dir + "/u.txt " + dir + "/k.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir + "/a.txt\tASCII\n" + dir + "/u.txt\tUTF\n" + dir + "/k.txt\t0\n");
  EXPECT_NE(run("code detect " + dir + "/missing").status, 0);
}

TEST_F(ZqtoolCode, ConvertsAndKeepsLineEnds) {
  put(dir + "/in.txt", "\x93\xFA\x96\x7B\n\r\n");  // Shift-JIS, mixed line ends
  EXPECT_EQ(run("code conv --from auto --to UTFB " + dir + "/in.txt " + dir + "/out.txt").status,
            0);
  EXPECT_EQ(get(dir + "/out.txt"), "\xEF\xBB\xBF\xE6\x97\xA5\xE6\x9C\xAC\n\r\n");
  EXPECT_EQ(run("code conv --from UTFB --to UNIBE --no-bom " + dir + "/out.txt " + dir + "/o2.txt")
                .status,
            0);
  EXPECT_EQ(get(dir + "/o2.txt"), std::string("\x65\xE5\x67\x2C\0\n\0\r\0\n", 10));
  EXPECT_EQ(run("code conv --from UNIBE --to SJISEX " + dir + "/o2.txt " + dir + "/o3.txt").status,
            0);
  EXPECT_EQ(get(dir + "/o3.txt"), "\x93\xFA\x96\x7B\n\r\n");
}

TEST_F(ZqtoolCode, FailureWritesNothing) {
  put(dir + "/bad.txt", "ab\xE6\x97");  // truncated UTF-8
  put(dir + "/out.txt", "keep me");
  ToolRun r = run("code conv --from UTF --to SJIS " + dir + "/bad.txt " + dir + "/out.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(get(dir + "/out.txt"), "keep me");
  ToolRun ls = run("code detect " + dir + "/out.txt.zqtmp0");
  EXPECT_NE(ls.status, 0);  // no temporary left behind
  EXPECT_EQ(run("code conv --from NOPE --to SJIS " + dir + "/bad.txt " + dir + "/out.txt").status,
            2);
  EXPECT_EQ(run("code conv --from UTF-8 --to SJIS " + dir + "/bad.txt " + dir + "/out.txt").status,
            2);
  EXPECT_EQ(get(dir + "/out.txt"), "keep me");
}

}  // namespace
