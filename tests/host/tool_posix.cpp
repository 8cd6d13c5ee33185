// zqtool cmdline, run as a program: one record a line, as written, in the terminal's UTF-8.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// zqtool lies beside the test executable.
std::string tool_dir() {
  if (const char* bin = std::getenv("ZQ_BINARY_DIR")) return bin;
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string self(buf, n > 0 ? (size_t)n : 0);
  return self.substr(0, self.find_last_of('/'));
}

TEST(ZqtoolCmdline, PrintsOneRecordALine) {
  // Compiled as CP932, the Japanese name is written as its UTF-8 bytes.
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC \xE8\xAA\x9E.txt";
  std::string cmd = tool_dir() + "/zqtool cmdline -x'(\"a b\")' '\"" + japanese +
                    "\"' /j5 c -show'(3)' 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  int status = pclose(p);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(
      out, "app\tedmdi1\nshow\t3\nswstr\tx\ta b\nfile\t" + japanese + "\nfile\tc\nsw\tjmpara\t5\n");
}

}  // namespace
