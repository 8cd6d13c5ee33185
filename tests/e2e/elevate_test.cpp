// A standard installation without administrator rights: the run asks for the same program to be
// started elevated ("runas") with the wizard's choices as unattended switches, waits for it,
// takes its log and ends with its exit code. Under Wine every user has the rights, so the test
// forces "no rights" through the run's operations; the elevated start is the real one, of the
// real zq9utl.exe.

#include "setup/elevate.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "core/text.h"
#include "e2e.h"
#include "setup/setup_record.h"
#include "setup/setup_run.h"
#include "ui/notify.h"

namespace {

std::string g_args;  // what the elevated start was asked for
std::string g_program;

class Elevate : public ::testing::Test {
 protected:
  std::wstring pf_root;
  void SetUp() override {
    pf_root =
        e2e::folder(CSIDL_PROGRAM_FILES) + L"\\zqelev" + std::to_wstring(GetCurrentProcessId());
    g_program = e2e::narrow(e2e::build_path(L"app/zq9utl/zq9utl.exe"));
    g_args.clear();
  }
  void TearDown() override {
    e2e::viewers(true);
    e2e::remove_installation_traces();
    e2e::remove_tree(pf_root);
  }
  // One interactive run of a standard installation into folder, with no rights.
  int run(const std::wstring& folder, std::string* log) {
    SetupRun r{};
    r.rec = text_new();
    r.log = text_new();
    notify_set_transcript(r.log);
    notify_set_answer(NOTIFY_YES);
    setup_set(r.rec, ID("COMMON"), 1);
    setup_set_text(r.rec, ID("EXE"), e2e::narrow(folder).c_str());
    setup_set_text(r.rec, ID("ICON"), "ZQ elev e2e");
    setup_set(r.rec, ID("REGDT"), 0);
    setup_set(r.rec, ID("REGSM"), 0);
    SetupRunOps ops = setup_engine_ops(nullptr);
    ops.wizard = [](void*, Text*) { return true; };
    ops.rights = [](void*, Text*, SetupRights* out) { *out = SetupRights{}; };
    ops.elevate = [](void*, const char* args, bool* declined) {
      g_args = args;
      return elevate_start(g_program.c_str(), args, declined);
    };
    ops.start = [](void*, const char*) { return false; };
    setup_run(&r, &ops);
    notify_set_transcript(nullptr);
    *log = text_cstr(r.log);
    // The command line asked for, with the temporary log it named.
    size_t at = g_args.find("-log(\"");
    std::string child_log = at == std::string::npos ? "" : g_args.substr(at + 6);
    if (!child_log.empty()) child_log.resize(child_log.size() - 2);
    Text* want = setup_elevated_args(r.rec, false, true, child_log.c_str());
    EXPECT_EQ(g_args, want ? text_cstr(want) : "(none)");
    EXPECT_NE(log->find("elevate: " + g_args), std::string::npos) << *log;
    text_free(want);
    text_free(r.rec);
    text_free(r.log);
    return r.exit_code;
  }
};

TEST_F(Elevate, WithoutRightsTheElevatedProgramInstallsAndItsExitCodeIsTheRun) {
  std::wstring to = pf_root + L"\\VA VUDOVA 9";
  std::string log;
  EXPECT_EQ(run(to, &log), 0);
  EXPECT_TRUE(e2e::exists(to + L"\\zqeditor.exe"));
  EXPECT_NE(g_args.find("-silent -exe(\"" + e2e::narrow(to) + "\")"), std::string::npos);
  EXPECT_NE(g_args.find("REGDT=0"), std::string::npos) << g_args;
  EXPECT_NE(log.find("install: " + e2e::narrow(to)), std::string::npos) << "the child's log";
  EXPECT_FALSE(e2e::exists(e2e::folder(CSIDL_DESKTOPDIRECTORY) + L"\\ZQ elev e2e.lnk"));
}

TEST_F(Elevate, TheElevatedProgramsFailureAndRefusalAreTheRunsExitCode) {
  // A file where the folder should be: the elevated run fails with 1.
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, pf_root.c_str(), nullptr), ERROR_SUCCESS);
  std::wstring blocked = pf_root + L"\\blocked";
  CloseHandle(CreateFileW(blocked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  std::string log;
  EXPECT_EQ(run(blocked + L"\\inst", &log), 1) << log;
  // A standard installation outside Program Files: the elevated run refuses it with 2.
  std::wstring outside = e2e::temp_dir(L"elev") + L"\\inst";
  EXPECT_EQ(run(outside, &log), 2) << log;
  EXPECT_FALSE(e2e::exists(outside));
  e2e::remove_tree(outside.substr(0, outside.size() - 5));
}

}  // namespace
