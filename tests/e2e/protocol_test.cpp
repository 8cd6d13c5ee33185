// The dispatch protocol end to end: the real zq9utl.exe against peers in other processes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ids.h"
#include "e2e.h"

namespace {

using Lines = std::vector<std::string>;

class Protocol : public ::testing::Test {
 protected:
  std::wstring dir;
  std::vector<e2e::Process> peers;

  void SetUp() override { dir = e2e::temp_dir(L"protocol"); }
  void TearDown() override {
    for (e2e::Process& p : peers) e2e::stop(p);
    e2e::remove_tree(dir);
  }
  std::wstring log_of(const wchar_t* name) { return dir + L"\\" + name + L".log"; }
  // A peer for the applet, waited for until its window exists.
  void peer(const wchar_t* applet, const wchar_t* name, const std::wstring& more = L"") {
    std::wstring args = std::wstring(applet) + L" " + name + L" \"" + log_of(name) + L"\" " + more;
    peers.push_back(e2e::start(e2e::beside_test(L"zqpeer.exe"), args));
    ASSERT_NE(peers.back().handle, nullptr);
    std::wstring title = std::wstring(L"zqpeer ") + name;
    ASSERT_NE(e2e::wait_window(L"DuroDA64", title.c_str(), 20000), nullptr);
  }
  // Runs zq9utl.exe to its end; its exit code.
  int run(const std::wstring& args) {
    e2e::Process p = e2e::start(e2e::build_path(L"app/zq9utl/zq9utl.exe"), args);
    int code = e2e::wait(p, 30000);
    e2e::stop(p);
    return code;
  }
  // The peer's log once the batch has ended (START 0).
  Lines batch(const wchar_t* name) {
    EXPECT_TRUE(e2e::wait_log_line(log_of(name), "start\t0", 10000)) << e2e::narrow(name);
    return e2e::read_log(log_of(name));
  }
};

// A running single-instance applet receives the whole batch: brought to the front, START 1, every
// switch in order, strings (spaces, Japanese, empty, escaped, long) by the transfer, a file by
// its name, START 0.
TEST_F(Protocol, SwitchesAndStringsReachTheRunningApplet) {
  peer(L"ICON", L"icon");
  const std::wstring args =
      L"@icon -x(3) -y -w(word) -s(\"a b\") -j(\"日本 語\") -e(\"\") -t.es(\"a\\41b\") "
      L"-l(\"0123456789abc\") -show(2) C:\\zq\\a.txt";
  ASSERT_EQ(run(args), 0);
  const Lines want = {
      "popupf\t0",
      "start\t1",
      "x\t3",
      "y\t0",
      "w\t" + std::to_string(ID("WORD")),
      "str\ts\ta b",
      "str\tj\t日本 語",
      "str\te\t",
      "str\tt\taAb",
      "str\tl\t0123456789abc",
      "str\tfile\tC:\\zq\\a.txt",  // a file it does not have: handed over by name
      "start\t0",
  };
  EXPECT_EQ(batch(L"icon"), want);
}

// Each file goes to the window that has it open, which becomes the target of what follows; the
// previous target's batch is closed. A window of the family without the files hears nothing.
TEST_F(Protocol, FileGoesToTheWindowThatHasIt) {
  const std::wstring f1 = L"C:\\データ\\メモ 1.txt", f2 = L"C:\\zq\\b.txt";
  peer(L"EDITOR", L"none");
  peer(L"EDITOR", L"a", L"--file \"" + f1 + L"\"");
  peer(L"EDITOR", L"b", L"--file \"" + f2 + L"\"");
  ASSERT_EQ(run(L"@edmdi \"" + f1 + L"\" -x(1) -s(\"v w\") " + f2 + L" -y(2)"), 0);
  const Lines a = {"have\tisopen\t" + e2e::narrow(f1), "start\t1", "x\t1", "str\ts\tv w",
                   "start\t0"};
  EXPECT_EQ(batch(L"a"), a);
  const Lines b = {"have\tisopen\t" + e2e::narrow(f2), "start\t1", "y\t2", "start\t0"};
  EXPECT_EQ(batch(L"b"), b);
  EXPECT_EQ(e2e::read_log(log_of(L"none")), Lines{});
}

// A peer that does not answer within the timeout counts as absent: the live one behind it gets
// the batch, and zq9utl.exe does not wait for the hung one.
TEST_F(Protocol, HungWindowCountsAsAbsent) {
  peer(L"ICON", L"live");
  peer(L"ICON", L"hung", L"--hang");
  ASSERT_EQ(run(L"@icon -x(7)"), 0);
  EXPECT_EQ(batch(L"live"), (Lines{"popupf\t0", "start\t1", "x\t7", "start\t0"}));
  const Lines hung = e2e::read_log(log_of(L"hung"));
  ASSERT_FALSE(hung.empty());
  EXPECT_EQ(hung.front(), "hang\tisapp");  // it was asked, and passed over
  EXPECT_EQ(hung.size(), 1u);
}

}  // namespace
