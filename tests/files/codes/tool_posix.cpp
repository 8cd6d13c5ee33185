// zqtool code, run as a program: detection lines, conversion, and a failing conversion that must
// leave an existing output file alone.

#include <gtest/gtest.h>

#include <string>

#include "support/zqtool_run.h"

namespace {

class ZqtoolCode : public ZqtoolTest {
 protected:
  void put(const std::string& path, const std::string& bytes) {
    scratch.put(path.substr(dir.size() + 1), bytes);
  }
  std::string get(const std::string& path) { return ScratchDir::get(path); }
};

TEST_F(ZqtoolCode, DetectPrintsOneLinePerFile) {
  put(dir + "/a.txt", "plain\n");
  put(dir + "/u.txt", "\xE6\x97\xA5\xE6\x9C\xAC\n");
  put(dir + "/k.txt", "\xB1\xB2\xFF");
  ToolRun r = zqtool_run("code detect " + dir + "/a.txt " + dir + "/u.txt " + dir + "/k.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir + "/a.txt\tASCII\n" + dir + "/u.txt\tUTF\n" + dir + "/k.txt\t0\n");
  EXPECT_NE(zqtool_run("code detect " + dir + "/missing").status, 0);
}

TEST_F(ZqtoolCode, ConvertsAndKeepsLineEnds) {
  put(dir + "/in.txt", "\x93\xFA\x96\x7B\n\r\n");  // Shift-JIS, mixed line ends
  EXPECT_EQ(
      zqtool_run("code conv --from auto --to UTFB " + dir + "/in.txt " + dir + "/out.txt").status,
      0);
  EXPECT_EQ(get(dir + "/out.txt"), "\xEF\xBB\xBF\xE6\x97\xA5\xE6\x9C\xAC\n\r\n");
  EXPECT_EQ(
      zqtool_run("code conv --from UTFB --to UNIBE --no-bom " + dir + "/out.txt " + dir + "/o2.txt")
          .status,
      0);
  EXPECT_EQ(get(dir + "/o2.txt"), std::string("\x65\xE5\x67\x2C\0\n\0\r\0\n", 10));
  EXPECT_EQ(
      zqtool_run("code conv --from UNIBE --to SJISEX " + dir + "/o2.txt " + dir + "/o3.txt").status,
      0);
  EXPECT_EQ(get(dir + "/o3.txt"), "\x93\xFA\x96\x7B\n\r\n");
}

TEST_F(ZqtoolCode, FailureWritesNothing) {
  put(dir + "/bad.txt", "ab\xE6\x97");  // truncated UTF-8
  put(dir + "/out.txt", "keep me");
  ToolRun r = zqtool_run("code conv --from UTF --to SJIS " + dir + "/bad.txt " + dir + "/out.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(get(dir + "/out.txt"), "keep me");
  ToolRun ls = zqtool_run("code detect " + dir + "/out.txt.zqtmp0");
  EXPECT_NE(ls.status, 0);  // no temporary left behind
  EXPECT_EQ(
      zqtool_run("code conv --from NOPE --to SJIS " + dir + "/bad.txt " + dir + "/out.txt").status,
      2);
  EXPECT_EQ(
      zqtool_run("code conv --from UTF-8 --to SJIS " + dir + "/bad.txt " + dir + "/out.txt").status,
      2);
  EXPECT_EQ(get(dir + "/out.txt"), "keep me");
}

}  // namespace
