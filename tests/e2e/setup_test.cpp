// The set-up program end to end: unattended installations of the real zq9utl.exe with their
// files, registry values and links, exit codes and the log file, a failure, the uninstall through
// the installed zqsetup.exe, the start of the installed editor and the hand-over of a file to it,
// and the building mode. Each installation goes into its own folder; keys and links are removed
// after each test.

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../setup/install/assoc_snapshot.h"
#include "cab/cab.h"
#include "e2e.h"
#include "setup/shell.h"
#include "setup/switches.h"

namespace {

const wchar_t kZq9[] = L"app/zq9utl/zq9utl.exe";
const wchar_t kZqsetup[] = L"app/zqsetup/zqsetup.exe";
const wchar_t kHist[] = L"Software\\VODudeduva\\ZQ9";
const wchar_t kUninst[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VI RIDEVA 9 64ved";

using e2e::exists;
using e2e::folder;
using e2e::reg;
using e2e::viewers;

// The whole file as bytes (the -log file is UTF-8).
std::string slurp(const std::wstring& p) {
  std::ifstream f(p.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

std::string utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s((size_t)(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  return s;
}

class Setup : public ::testing::Test {
 protected:
  std::wstring dir;      // scratch: logs, planted files
  std::wstring pf_root;  // our own folder under the program-files folder
  std::wstring log;
  std::vector<e2e::Process> started;

  void SetUp() override {
    dir = e2e::temp_dir(L"setup");
    pf_root = folder(CSIDL_PROGRAM_FILES) + L"\\zqe2e" + std::to_wstring(GetCurrentProcessId());
    log = dir + L"\\setup.log";
  }
  void TearDown() override {
    for (e2e::Process& p : started) e2e::stop(p);
    viewers(true);
    e2e::remove_installation_traces();
    e2e::remove_tree(pf_root);
    e2e::remove_tree(dir);
  }
  int run(const std::wstring& exe, const std::wstring& args, DWORD ms = 120000) {
    e2e::Process p = e2e::start(exe, args);
    int code = e2e::wait(p, ms);
    e2e::stop(p);
    return code;
  }
  int setup(const std::wstring& args) { return run(e2e::build_path(kZq9), args); }
  std::wstring standard_folder() { return pf_root + L"\\VA VUDOVA 9"; }
  std::string log_text() { return slurp(log); }
};

// The standard road without the wizard: every file of the package, the previous-folder record and
// the uninstall entry under HKLM, the common start-menu and desktop links; the log file holds the
// run's lines (not the help text); no program was started.
TEST_F(Setup, StandardSilentInstallation) {
  std::wstring to = standard_folder();
  ASSERT_EQ(setup(L"-silent -exe(\"" + to + L"\") -log(\"" + log + L"\")"), 0) << log_text();
  for (const wchar_t* f : {L"zqeditor.exe", L"zqsetup.exe", L"zq9.txt", L"contract.txt",
                           L"uninst.bat", L"idsystem.sys"})
    EXPECT_TRUE(exists(to + L"\\" + f)) << e2e::narrow(f);
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kHist, L"folder"), to);
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kUninst, L"UninstallString"),
            L"\"" + to + L"\\zqsetup.exe\" -uninst");
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kUninst, L"DisplayName"), L"VI RIDEVA 9 64ved");
  EXPECT_TRUE(exists(folder(CSIDL_COMMON_PROGRAMS) + L"\\VI Rideva 9 64ved.lnk"));
  EXPECT_TRUE(exists(folder(CSIDL_DESKTOPDIRECTORY) + L"\\VI Rideva 9 64ved.lnk"));
  std::string text = log_text();
  EXPECT_NE(text.find("install: " + utf8(to)), std::string::npos) << text;
  EXPECT_NE(text.find(utf8(to) + "\\zqeditor.exe"), std::string::npos) << text;
  EXPECT_EQ(text.find("\xef\xbc\xbf\xe2\x88\xa5"), std::string::npos) << "the help text's marks";
  EXPECT_EQ(viewers(false), 0) << "a silent run starts no program";
}

// -user: the record of the logged-on user only, under HKCU, the user's own start menu.
TEST_F(Setup, UserSilentInstallation) {
  std::wstring to = dir + L"\\mine\\VA VUDOVA 9";
  ASSERT_EQ(setup(L"-silent -user -exe(\"" + to + L"\") -log(\"" + log + L"\")"), 0) << log_text();
  EXPECT_TRUE(exists(to + L"\\zqeditor.exe"));
  EXPECT_EQ(reg(HKEY_CURRENT_USER, kHist, L"folder"), to);
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kHist, L"folder"), L"-");
  std::string settings = slurp(to + L"\\idsystem.sys");
  EXPECT_NE(settings.find("COMMON: 0"), std::string::npos) << settings;
  wchar_t user[256];
  DWORD n = 256;
  GetUserNameW(user, &n);
  std::wstring link = std::wstring(L"VI Rideva 9 64ved (") + user + L").lnk";
  EXPECT_TRUE(exists(folder(CSIDL_PROGRAMS) + L"\\" + link));
  DeleteFileW((folder(CSIDL_PROGRAMS) + L"\\" + link).c_str());
  DeleteFileW((folder(CSIDL_DESKTOPDIRECTORY) + L"\\" + link).c_str());
}

// Refusals end with 2 before anything is written, with the reason in the log file.
TEST_F(Setup, RefusedSwitchesAndFoldersExitWithTwo) {
  struct Case {
    std::wstring args;
    const char* says;
  } cases[] = {
      {L"-silent -bogus", "-bogus"},
      {L"-silent -exe(3)", "-exe"},
      // A standard installation outside the program-files folder.
      {L"-silent -exe(\"" + dir + L"\\out\")", "\xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80"},
      // A user installation inside it.
      {L"-silent -user -exe(\"" + standard_folder() + L"\")",
       "\xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80"},
  };
  for (const Case& c : cases) {
    DeleteFileW(log.c_str());
    EXPECT_EQ(setup(c.args + L" -log(\"" + log + L"\")"), 2) << e2e::narrow(c.args);
    EXPECT_NE(log_text().find(c.says), std::string::npos) << e2e::narrow(c.args) << log_text();
  }
  EXPECT_FALSE(exists(dir + L"\\out"));
  EXPECT_FALSE(exists(standard_folder()));
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kHist, L"folder"), L"-");
}

// A destination file that cannot be replaced fails the run with 1: the file is named in the log,
// it keeps its bytes, no temporary file is left beside it, and nothing is registered.
TEST_F(Setup, ReadOnlyDestinationFailsWithOne) {
  std::wstring to = standard_folder();
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, to.c_str(), nullptr), ERROR_SUCCESS);
  std::wstring locked = to + L"\\zq9.txt";
  {
    std::ofstream f(locked.c_str(), std::ios::binary);
    f << "old";
  }
  ASSERT_TRUE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(setup(L"-silent -exe(\"" + to + L"\") -log(\"" + log + L"\")"), 1);
  std::string text = log_text();
  EXPECT_NE(text.find("fail: "), std::string::npos) << text;
  EXPECT_NE(text.find(utf8(locked)), std::string::npos) << text;
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(slurp(locked), "old");
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((to + L"\\*").c_str(), &fd);
  for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd)) {
    std::wstring name = fd.cFileName;
    EXPECT_EQ(name.find(L".tmp"), std::wstring::npos) << e2e::narrow(name);
    EXPECT_EQ(name.find(L"~"), std::wstring::npos) << e2e::narrow(name);
  }
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kHist, L"folder"), L"-");
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kUninst, L"UninstallString"), L"-");
}

// The installed zqsetup.exe with " -uninst -silent" removes the product: files, the folder with
// the uninstaller itself, keys, links.
TEST_F(Setup, InstalledUninstallerRemovesTheProduct) {
  std::wstring to = standard_folder();
  ASSERT_EQ(setup(L"-silent -exe(\"" + to + L"\")"), 0);
  ASSERT_TRUE(exists(to + L"\\zqsetup.exe"));
  EXPECT_EQ(run(to + L"\\zqsetup.exe", L"-uninst -silent -log(\"" + log + L"\")"), 0) << log_text();
  // The running zqsetup.exe and the folder go once it has ended.
  for (int k = 0; k < 100 && exists(to); ++k) Sleep(100);
  EXPECT_FALSE(exists(to));
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kUninst, L"UninstallString"), L"-");
  EXPECT_FALSE(exists(folder(CSIDL_COMMON_PROGRAMS) + L"\\VI Rideva 9 64ved.lnk"));
  EXPECT_FALSE(exists(folder(CSIDL_DESKTOPDIRECTORY) + L"\\VI Rideva 9 64ved.lnk"));
  EXPECT_NE(log_text().find("del: "), std::string::npos) << log_text();
  // The temporary copy that removes the folder goes at the next restart, and the log says which.
  std::string text = log_text();
  size_t at = text.find("del at restart: ");
  ASSERT_NE(at, std::string::npos) << text;
  at += std::strlen("del at restart: ");
  std::string copy = text.substr(at, text.find_first_of("\r\n", at) - at);
  std::wstring wcopy(copy.size() + 1, L'\0');
  wcopy.resize(
      (size_t)MultiByteToWideChar(CP_UTF8, 0, copy.c_str(), -1, &wcopy[0], (int)wcopy.size()) - 1);
  Sleep(500);  // the copy ends once the folder is gone
  wchar_t sys[MAX_PATH];
  GetSystemDirectoryW(sys, MAX_PATH);
  EXPECT_EQ(run(std::wstring(sys) + L"\\wineboot.exe", L"-r"), 0);
  for (int k = 0; k < 50 && exists(wcopy); ++k) Sleep(100);
  EXPECT_FALSE(exists(wcopy)) << copy;
  // Of the product only the previous-folder record stays, for the next installation to read.
  EXPECT_EQ(reg(HKEY_LOCAL_MACHINE, kHist, L"folder"), to);
  EXPECT_FALSE(exists(folder(CSIDL_APPDATA) + L"\\VODudeduva\\ZQ9xcom"));
}

// With the installed editor running, the uninstall refuses with 3 and removes nothing: neither
// the files nor the uninstall entry.
TEST_F(Setup, UninstallRefusesWhileTheEditorRuns) {
  std::wstring to = standard_folder();
  ASSERT_EQ(setup(L"-silent -exe(\"" + to + L"\")"), 0);
  std::wstring doc = dir + L"\\open.txt";
  { std::ofstream(doc.c_str()) << "open"; }
  started.push_back(e2e::start(to + L"\\zqeditor.exe", L"\"" + doc + L"\""));
  for (int k = 0; k < 100 && viewers(false) == 0; ++k) Sleep(100);
  EXPECT_EQ(run(to + L"\\zqsetup.exe", L"-uninst -silent -log(\"" + log + L"\")"), 3) << log_text();
  EXPECT_NE(log_text().find("zqeditor.exe"), std::string::npos) << log_text();
  EXPECT_EQ(log_text().find("del: "), std::string::npos) << log_text();
  for (const wchar_t* f : {L"zqeditor.exe", L"zqsetup.exe", L"idsystem.sys", L"zqfiles.lst"})
    EXPECT_TRUE(exists(to + L"\\" + f)) << e2e::narrow(f);
  EXPECT_NE(reg(HKEY_LOCAL_MACHINE, kUninst, L"UninstallString"), L"-");
}

// zqsetup.exe in a folder that is not an installation refuses with 2 and deletes nothing.
TEST_F(Setup, UninstallOutsideAnInstallationIsRefused) {
  std::wstring exe = dir + L"\\zqsetup.exe";
  ASSERT_TRUE(CopyFileW(e2e::build_path(kZqsetup).c_str(), exe.c_str(), FALSE));
  std::wstring keep = dir + L"\\sample.htm";
  { std::ofstream(keep.c_str()) << "mine"; }
  EXPECT_EQ(run(exe, L"-uninst -silent -log(\"" + log + L"\")"), 2);
  EXPECT_EQ(slurp(keep), "mine");
  EXPECT_TRUE(exists(exe));
  EXPECT_FALSE(log_text().empty());
}

// The installed editor is started without anyone waiting for it; a second zq9utl.exe hands a
// file over to the editor that has another file open (ISOPEN, then the string transfer).
TEST_F(Setup, InstalledEditorStartsAndTakesAHandedOverFile) {
  std::wstring to = standard_folder();
  ASSERT_EQ(setup(L"-silent -exe(\"" + to + L"\")"), 0);
  std::string exe = e2e::narrow(to + L"\\zqeditor.exe");
  ASSERT_TRUE(shell_start_program(exe.c_str()));
  EXPECT_NE(e2e::wait_window(L"DuroDA64", L"VI RIDEVA 9 64ved [読み取り専用]", 20000), nullptr);

  std::wstring a = dir + L"\\a.txt", b = dir + L"\\b.txt";
  { std::ofstream(a.c_str()) << "a"; }
  { std::ofstream(b.c_str()) << "b"; }
  started.push_back(e2e::start(to + L"\\zqeditor.exe", L"\"" + a + L"\""));
  ASSERT_NE(e2e::wait_window(L"DuroDA64", L"a.txt - VI RIDEVA 9 64ved [読み取り専用]", 20000),
            nullptr);
  EXPECT_EQ(setup(L"@edmdi \"" + a + L"\" -file(\"" + b + L"\")"), 0);
  EXPECT_NE(e2e::wait_window(L"DuroDA64", L"b.txt - VI RIDEVA 9 64ved [読み取り専用]", 20000),
            nullptr);
}

// Building mode: NEWNE writes a package that zqtool accepts; CABEXE writes it and closes, and the
// package beside zqsetup.exe installs.
TEST_F(Setup, BuildingModeWritesAPackageThatInstalls) {
  const std::wstring src = L"C:\\_text", exe = L"C:\\zqr\\zq64", pak = L"C:\\zqr\\_zq64_.pak";
  ASSERT_FALSE(exists(src)) << "a source folder of someone else";
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, src.c_str(), nullptr), ERROR_SUCCESS);
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, exe.c_str(), nullptr), ERROR_SUCCESS);
  std::wstring stage = e2e::build_path(L"package/stage");
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((stage + L"\\src\\*").c_str(), &fd);
  for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd))
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      CopyFileW((stage + L"\\src\\" + fd.cFileName).c_str(), (src + L"\\" + fd.cFileName).c_str(),
                FALSE);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  for (const wchar_t* f : {L"zqeditor.exe", L"zq9utl.exe"})
    ASSERT_TRUE(CopyFileW((stage + L"\\exe\\" + f).c_str(), (exe + L"\\" + f).c_str(), FALSE));

  e2e::Process p = e2e::start(e2e::build_path(kZq9), L"-cab -newne");
  for (int k = 0; k < 600 && !exists(pak); ++k) Sleep(100);
  Sleep(500);
  e2e::stop(p);
  ASSERT_TRUE(exists(pak));
  EXPECT_EQ(run(e2e::build_path(L"zqtool.exe"), L"pak verify " + pak), 0);
  DeleteFileW(pak.c_str());

  // -log without -silent: the writer's lines, not the help text shown above them.
  EXPECT_EQ(setup(L"-cabexe -log(\"" + log + L"\")"), 0);
  ASSERT_TRUE(exists(pak));
  EXPECT_NE(log_text().find("add c:\\zqr\\zq64\\zqeditor.exe"), std::string::npos);
  EXPECT_EQ(log_text().find("\xef\xbc\xbf\xe2\x88\xa5"), std::string::npos) << "help marks";
  EXPECT_EQ(run(e2e::build_path(L"zqtool.exe"), L"pak verify " + pak), 0);
  std::wstring setup_exe = L"C:\\zqr\\zqsetup.exe";
  ASSERT_TRUE(CopyFileW(e2e::build_path(kZqsetup).c_str(), setup_exe.c_str(), FALSE));
  std::wstring to = standard_folder();
  EXPECT_EQ(run(setup_exe, L"-silent -exe(\"" + to + L"\")"), 0);
  EXPECT_TRUE(exists(to + L"\\zqeditor.exe"));
  EXPECT_TRUE(exists(to + L"\\zq9.txt"));
  e2e::remove_tree(L"C:\\zqr");
  e2e::remove_tree(src);
}

// Started with its standard output and error going to a file: what a console would show.
int run_with_output(const std::wstring& exe, const std::wstring& args, const std::wstring& out,
                    DWORD ms) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE f =
      CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return -2;
  std::wstring line = L"\"" + exe + L"\" " + args;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = si.hStdError = f;
  PROCESS_INFORMATION pi = {};
  int code = -2;
  if (CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                     &pi)) {
    CloseHandle(pi.hThread);
    e2e::Process p{pi.hProcess, pi.dwProcessId};
    code = e2e::wait(p, ms);
    e2e::stop(p);
  }
  CloseHandle(f);
  return code;
}

// The unattended contract, line by line: the exit code, what is installed (nothing, unless the
// line asked for it and it was done), the log file and what a console sees. A line that would
// open the wizard instead of being refused runs out of time (-1).
TEST_F(Setup, CommandLinesKeepTheUnattendedContract) {
  std::wstring logs = dir + L"\\logs";
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, logs.c_str(), nullptr), ERROR_SUCCESS);
  std::wstring user_default = folder(CSIDL_APPDATA) + L"\\VODudeduva\\VA VUDOVA 9";
  std::wstring self = e2e::build_path(kZq9);
  std::wstring L = L" -log(\"" + log + L"\")";
  struct Row {
    std::wstring args;
    int code;
    std::wstring installed;  // this folder holds the editor afterwards ("" none)
    std::vector<std::wstring> absent;
    const char* in_log;  // with -log: the log says this ("" no log file at all)
  } rows[] = {
      {L"-silent -user -exe(" + dir + L"\\my folder)",
       2,
       L"",
       {dir + L"\\my", dir + L"\\my folder"},
       nullptr},
      {L"-silent -user " + dir + L"\\y2", 2, L"", {dir + L"\\y2", user_default}, nullptr},
      {L"-exe \"" + dir + L"\\y4\"", 2, L"", {dir + L"\\y4"}, nullptr},
      {L"-exe(\"" + dir + L"\\y5\")" + L + L" extra", 2, L"", {dir + L"\\y5"}, "extra"},
      {L"-silent -user -exe(\"" + dir + L"\\q\"uote\")" + L, 2, L"", {dir + L"\\q"}, "uote"},
      {L"-silent -user -exe(\"" + dir + L"\\y6\") -log(\"" + logs + L"\\a\"b.log\")",
       2,
       L"",
       {dir + L"\\y6", logs + L"\\a"},
       nullptr},
      {L"-silent -user -exe(\"" + dir + L"\\A\") -exe(\"" + dir + L"\\B\")" + L,
       2,
       L"",
       {dir + L"\\A", dir + L"\\B"},
       "-exe"},
      {L"-silent -user -exe(\"" + dir + L"\\y7\") -opt(\"REGXYZ=1\")" + L,
       2,
       L"",
       {dir + L"\\y7"},
       "REGXYZ"},
      {L"-silent -user -exe(\"" + dir + L"\\y7\") -opt(\"ICON=..\\..\\x\")" + L,
       2,
       L"",
       {dir + L"\\y7"},
       "ICON"},
      // a log that cannot be written refuses the run before anything is done
      {L"-silent -user -exe(\"" + dir + L"\\y8\") -log(\"" + dir + L"\\nonexist\\sub\\x.log\")",
       2,
       L"",
       {dir + L"\\y8", dir + L"\\nonexist"},
       nullptr},
      {L"-silent -user -exe(\"" + dir + L"\\y8\") -log(\"" + logs + L"\")",
       2,
       L"",
       {dir + L"\\y8"},
       nullptr},
      {L"-silent -user -exe(\"" + dir + L"\\y8\") -log(\"NUL\")", 2, L"", {dir + L"\\y8"}, nullptr},
      {L"-silent -user -exe(\"" + dir + L"\\y8\") -log(\"" + self + L"\")",
       2,
       L"",
       {dir + L"\\y8"},
       nullptr},
      // other installers' words for -silent never open a wizard
      {L"/verysilent -bogus", 2, L"", {}, nullptr},
      {L"/qn -user -exe(\"" + dir + L"\\y9\") /x" + L, 2, L"", {dir + L"\\y9"}, "/x"},
      {L"/SILENT -user -exe(\"" + dir + L"\\y9\") -opt(\"REGDT=0,REGSM=0,ICON=ZQ e2e\")" + L,
       0,
       dir + L"\\y9",
       {folder(CSIDL_DESKTOPDIRECTORY) + L"\\ZQ e2e.lnk"},
       "install: "},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(e2e::narrow(r.args));
    DeleteFileW(log.c_str());
    EXPECT_EQ(setup(r.args), r.code) << log_text();
    if (!r.installed.empty()) {
      EXPECT_TRUE(exists(r.installed + L"\\zqeditor.exe"));
    }
    for (const std::wstring& a : r.absent) EXPECT_FALSE(exists(a)) << e2e::narrow(a);
    if (r.in_log) {
      EXPECT_NE(log_text().find(r.in_log), std::string::npos) << log_text();
    } else {
      EXPECT_FALSE(exists(log));
    }
  }
  std::string done = log_text();
  EXPECT_NE(done.find(utf8(L"セットアップを完了しました。")), std::string::npos) << done;
  EXPECT_EQ(done.find(utf8(L"起動")), std::string::npos) << "no start announced: " << done;
  EXPECT_EQ(viewers(false), 0);

  // The reason goes to a console; the usage too, with the switches and exit codes, and 0.
  std::wstring out = dir + L"\\out.txt";
  EXPECT_EQ(run_with_output(self, L"-silent -bogus", out, 60000), 2);
  EXPECT_NE(slurp(out).find("-bogus"), std::string::npos) << slurp(out);
  for (const wchar_t* help : {L"/?", L"-?", L"-help"}) {
    EXPECT_EQ(run_with_output(self, help, out, 60000), 0) << e2e::narrow(help);
    std::string usage = slurp(out);
    for (const char* word : {"-silent", "-exe", "-log", "-opt", "-force", "/verysilent", "  3  "})
      EXPECT_NE(usage.find(word), std::string::npos) << word << usage;
  }
}

// An installed editor newer than the package's: unattended, the overwrite is refused with 2 and
// writes nothing unless -force; a running editor stops the run with 3 before anything is written.
TEST_F(Setup, NewerOrRunningEditorStopsTheUnattendedRun) {
  std::wstring to = dir + L"\\inst";
  std::wstring args = L"-silent -user -exe(\"" + to + L"\") -log(\"" + log + L"\")";
  ASSERT_EQ(setup(args), 0) << log_text();
  std::wstring exe = to + L"\\zqeditor.exe", help = to + L"\\zq9.txt";
  HANDLE h = CreateFileW(exe.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME later;
  GetSystemTimeAsFileTime(&later);
  ULARGE_INTEGER t{{later.dwLowDateTime, later.dwHighDateTime}};
  t.QuadPart += 3650ull * 24 * 3600 * 10000000;  // ten years on
  later = {t.LowPart, t.HighPart};
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &later));
  CloseHandle(h);
  DeleteFileW(help.c_str());
  EXPECT_EQ(setup(args), 2) << log_text();
  EXPECT_NE(log_text().find("-force"), std::string::npos) << log_text();
  EXPECT_FALSE(exists(help)) << "nothing written";
  EXPECT_EQ(setup(args + L" -force"), 0) << log_text();
  EXPECT_TRUE(exists(help));

  started.push_back(e2e::start(exe, L""));
  ASSERT_NE(e2e::wait_window(L"DuroDA64", L"VI RIDEVA 9 64ved [読み取り専用]", 20000), nullptr);
  DeleteFileW(help.c_str());
  EXPECT_EQ(setup(args + L" -force"), SETUP_EXIT_RUNNING) << log_text();
  EXPECT_FALSE(exists(help)) << "nothing written";
  EXPECT_NE(log_text().find(utf8(L"起動中")), std::string::npos) << log_text();
}

// The installed zqsetup.exe answers the same switches: refused with 2, or removed quietly after
// a slash word.
TEST_F(Setup, InstalledUninstallerKeepsTheContract) {
  std::wstring to = dir + L"\\un";
  ASSERT_EQ(setup(L"-silent -user -exe(\"" + to + L"\")"), 0);
  std::wstring uninst = to + L"\\zqsetup.exe";
  EXPECT_EQ(run(uninst, L"-uninst -silent -bogus -log(\"" + log + L"\")"), 2);
  EXPECT_NE(log_text().find("-bogus"), std::string::npos) << log_text();
  EXPECT_TRUE(exists(to + L"\\zqeditor.exe"));
  EXPECT_EQ(run(uninst, L"-uninst /S -log(\"" + log + L"\")"), 0) << log_text();
  EXPECT_FALSE(exists(to + L"\\zqeditor.exe"));
}

// -opt("REGTXT=1") unattended, for both kinds of installation: ".txt" opens in the editor of the
// folder installed (which exists), and the installed zqsetup.exe's uninstall gives it back to the
// system's editor, value for value.
TEST_F(Setup, UnattendedAssociationNamesTheInstalledEditorUntilTheUninstall) {
  const std::wstring before = assoc_test::value_of(L".txt");
  RegSetValueW(HKEY_CLASSES_ROOT, L".txt", REG_SZ, L"txtfile", 0);
  const std::wstring system = assoc_test::snapshot(L".txt");
  struct Case {
    const wchar_t* kind;
    std::wstring to;
  } cases[] = {{L"", standard_folder()}, {L"-user ", dir + L"\\assoc\\VA VUDOVA 9"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(e2e::narrow(c.to));
    ASSERT_EQ(setup(L"-silent " + std::wstring(c.kind) + L"-opt(\"REGTXT=1,REGDT=0\") -exe(\"" +
                    c.to + L"\") -log(\"" + log + L"\")"),
              0)
        << log_text();
    const std::wstring exe = c.to + L"\\zqeditor.exe";
    EXPECT_TRUE(exists(exe));
    for (const wchar_t* verb : {L"open", L"edit"})
      EXPECT_EQ(
          reg(HKEY_CLASSES_ROOT,
              (std::wstring(L"text_txtfile\\shell\\") + verb + L"\\command").c_str(), nullptr),
          L"\"" + exe + L"\" \"%1\"")
          << e2e::narrow(verb);
    EXPECT_EQ(reg(HKEY_CLASSES_ROOT, L".txt", nullptr), L"text_txtfile");
    EXPECT_FALSE(exists(folder(CSIDL_DESKTOPDIRECTORY) + L"\\VI Rideva 9 64ved.lnk"))
        << "REGDT=0: no desktop link";
    EXPECT_EQ(run(c.to + L"\\zqsetup.exe", L"-uninst -silent -log(\"" + log + L"\")"), 0)
        << log_text();
    EXPECT_EQ(assoc_test::snapshot(L".txt"), system);
  }
  if (before != L"<none>")
    RegSetValueW(HKEY_CLASSES_ROOT, L".txt", REG_SZ, before.substr(before.find(L':') + 1).c_str(),
                 0);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"text_txtfile");
}

}  // namespace
