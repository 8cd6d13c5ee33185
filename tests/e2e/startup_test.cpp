// The real executable's start-up and shutdown when the command line starts no window.

#include <gtest/gtest.h>

#include "e2e.h"

namespace {

int run(const std::wstring& args) {
  e2e::Process p = e2e::start(e2e::build_path(L"app/zq9utl/zq9utl.exe"), args);
  int code = e2e::wait(p, 30000);
  e2e::stop(p);
  return code;
}

// No ICON window runs and this program cannot create one: nothing starts, exit code 0. Without
// arguments the same holds as long as no applet registers CAB.
TEST(Startup, NoWindowToStartEndsWithZero) {
  EXPECT_EQ(run(L"@icon"), 0);
  EXPECT_EQ(run(L"@icon -x(1) C:\\none.txt"), 0);
  EXPECT_EQ(run(L""), 0);
}

}  // namespace
