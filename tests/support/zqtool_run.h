#pragma once
// The tests' runner of zqtool: starts the native zqtool of the build (ZQ_BINARY_DIR) through the
// shell, as a user does, and gives back what it printed and how it ended; and a scratch folder for
// the files it works on. Native build only (zqtool_run_posix.cpp).

#include <gtest/gtest.h>

#include <string>

struct ToolRun {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out;
  std::string err;
};

// The path of the built zqtool, or "" when there is none (the caller skips its test).
std::string zqtool_path();
// Runs "zqtool ARGS"; ARGS are handed to the shell as they stand (quote them).
ToolRun zqtool_run(const std::string& args);

// A fresh folder under /tmp, removed with everything in it when the owner goes.
struct ScratchDir {
  std::string path;  // "" when it could not be made
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // Writes bytes to the file `name` in the folder and returns its path.
  std::string put(const std::string& name, const std::string& bytes) const;
  // The bytes of a file given by its full path ("" when it cannot be read).
  static std::string get(const std::string& path);
};

// A test of zqtool on files in a scratch folder `dir`; skipped when zqtool was not built.
class ZqtoolTest : public ::testing::Test {
 protected:
  ScratchDir scratch;
  std::string dir = scratch.path;
  void SetUp() override {
    if (zqtool_path().empty()) GTEST_SKIP() << "zqtool not built";
    ASSERT_FALSE(dir.empty());
  }
};
