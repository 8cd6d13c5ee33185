// Dispatch inside one process: applets from the table, synchronous and posted batches, files to
// new windows, folders of the editor family to FILER, shortcuts resolved, own windows by class.

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "core/format.h"
#include "core/records.h"
#include "host/cmdline.h"
#include "host/host.h"
#include "host/startup.h"

namespace {

using Lines = std::vector<std::string>;
Lines g_log;
HostStringReceiver g_receiver;

LRESULT CALLBACK applet_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  char line[512];
  if (host_receive_string(&g_receiver, w, m, wp, lp)) return 0;
  if (m == UI_MSG_COMMAND) {
    g_log.push_back(buf_printf(line, sizeof line, "%id\t%d", (PackedId)wp, (int)lp));
    return 0;
  }
  if (m == HOST_STRING) {
    g_log.push_back(buf_printf(line, sizeof line, "str\t%id\t%s", (PackedId)wp, (const char*)lp));
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

HWND make_window(const wchar_t* cls) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = applet_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = cls;
  RegisterClassW(&wc);
  return CreateWindowExW(0, cls, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                         nullptr);
}

std::vector<HWND> g_windows;

std::string g_records;  // what the last created applet was handed, lines joined by "|"

HWND create_test_applet(PackedId applet, const char* file, int show, Text* records) {
  g_records.clear();
  for (const char* p = records ? text_cstr(records) : "-"; *p; ++p)
    if (*p != '\r') g_records += *p == '\n' ? '|' : *p;
  char line[512];
  g_log.push_back(
      buf_printf(line, sizeof line, "create\t%id\t%s\t%d", applet, file ? file : "-", show));
  HWND w = make_window(L"DuroDA64:hosttest");
  g_windows.push_back(w);
  return w;
}

std::string ascii(const wchar_t* w) {
  return std::string(w, w + wcslen(w));
}

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    applet_register(ID("TST"), create_test_applet);
    applet_register(ID("FILER"), create_test_applet);
    g_log.clear();
  }
  void TearDown() override {
    for (HWND w : g_windows) DestroyWindow(w);
    g_windows.clear();
    host_receiver_free(&g_receiver);
    pump();
  }
  Lines dispatch(const char* line, bool synchronous) {
    Text* list = cmdline_parse(line, 3, 0);
    HWND w = applet_dispatch(list, synchronous);
    text_free(list);
    pump();
    if (!w) g_log.push_back("null");
    return g_log;
  }
};

TEST_F(Dispatch, SynchronousBatchArrivesInOrder) {
  const Lines want = {"create\ttst\t-\t3", "start\t1", "show\t3", "x\t2",
                      "str\ts\ta b",       "y\t0",     "start\t0"};
  EXPECT_EQ(dispatch("@tst -x(2) -s(\"a b\") -y", true), want);
}

TEST_F(Dispatch, PostedBatchFromTheCommandLine) {
  EXPECT_EQ(cmdline_run(L"prog.exe @tst -noshow -x(1) -s(\"日本\")", 1, CL_PROGRAM), 1);
  pump();
  const Lines want = {"create\ttst\t-\t" + std::to_string(ID("NOSHOW")), "start\t1", "x\t1",
                      "str\ts\t日本", "start\t0"};
  EXPECT_EQ(g_log, want);
}

// The applet reads the command line from its own records, handed over through its entry: never
// those of another applet on the same line.
TEST_F(Dispatch, TheAppletIsHandedItsOwnRecords) {
  const struct {
    const char* line;
    std::string records;
  } rows[] = {
      {"@tst -x(2) -s(\"a b\") /S", "app\ttst|show\t3|sw\tx\t2|swstr\ts\ta b|word\t/S|"},
      {"@icon -y @tst -x", "app\ttst|show\t3|sw\tx\t0|"},
      {"@tst -x @filer C:\\", "app\ttst|show\t3|sw\tx\t0|"},
      {"@tst a.txt -z", "app\ttst|show\t3|file\ta.txt|sw\tz\t0|"},
  };
  for (const auto& r : rows) {
    g_records = "none";
    Text* list = cmdline_parse(r.line, 3, 0);
    for (text_top(list); !text_at_end(list); text_next_line(list)) {
      if (text_id(list) != ID("APP") || id_pack(text_field(list, 2)) != ID("TST")) continue;
      applet_dispatch(list, true);
      break;
    }
    text_free(list);
    pump();
    EXPECT_EQ(g_records, r.records) << r.line;
  }
}

TEST_F(Dispatch, NoWindowForAnUnknownApplet) {
  EXPECT_EQ(cmdline_run(L"prog.exe @nosuch -x(1)", 1, CL_PROGRAM), 0);
  EXPECT_EQ(cmdline_run(L"prog.exe @icon", 1, CL_PROGRAM), 0);
  EXPECT_EQ(g_log, Lines{});
}

TEST_F(Dispatch, FilesOpenNewWindowsAndFoldersGoToFiler) {
  const Lines want = {"create\ttst\tC:\\zq\\none.txt\t3", "start\t1", "show\t3", "start\t0"};
  EXPECT_EQ(dispatch("@tst C:/zq/none.txt", true), want);
  g_log.clear();
  const Lines filer = {"create\tfiler\tC:\\\t3", "start\t1", "show\t3", "start\t0"};
  EXPECT_EQ(dispatch("@edmdi C:\\", true), filer);
}

TEST_F(Dispatch, ShortcutIsResolvedToItsTarget) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);  // an ASCII folder in the test prefix
  std::string target = std::string(tmp) + "zq_host_target.txt", link = std::string(tmp) + "l.lnk";
  std::wstring wtarget(target.begin(), target.end()), wlink(link.begin(), link.end());
  CloseHandle(CreateFileW(wtarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  CoInitialize(nullptr);
  IShellLinkW* sl = nullptr;
  IPersistFile* pf = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkW, (void**)&sl)));
  sl->SetPath(wtarget.c_str());
  sl->QueryInterface(IID_IPersistFile, (void**)&pf);
  ASSERT_TRUE(pf && SUCCEEDED(pf->Save(wlink.c_str(), TRUE)));
  pf->Release();
  sl->Release();
  CoUninitialize();
  Lines got = dispatch(("@tst \"" + link + "\"").c_str(), true);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(_stricmp(got[0].c_str(), ("create\ttst\t" + target + "\t3").c_str()), 0) << got[0];
  DeleteFileW(wlink.c_str());
  DeleteFileW(wtarget.c_str());
}

// The whole life of the host in this process: the applet is created after the host window and
// its timers exist, its batch is handled inside the loop, and shutdown destroys the host window.
TEST_F(Dispatch, HostMainRunsTheAppletsBetweenStartupAndShutdown) {
  static std::wstring host_class;
  applet_register(ID("TST"), [](PackedId applet, const char* file, int show, Text* records) {
    wchar_t name[32] = L"";
    GetClassNameW(host_window(), name, 32);
    host_class = name;
    return create_test_applet(applet, file, show, records);
  });
  EXPECT_EQ(host_main(GetModuleHandleW(nullptr), L"prog.exe @tst -x(4)", 2), 0);
  EXPECT_EQ(host_class, L"TXMAINTIMER");
  const Lines want = {"create\ttst\t-\t2", "start\t1", "show\t2", "x\t4", "start\t0"};
  EXPECT_EQ(g_log, want);
  EXPECT_TRUE(host_quitting());
  EXPECT_EQ(host_window(), nullptr);
}

// Start-up step 12 reads the settings record beside the program: ZQICON starts the resident icon
// applet and ZQNAME replaces the command line, unless the line is an unattended set-up's.
TEST_F(Dispatch, SettingsRecordChangesWhatHostMainDoes) {
  wchar_t exe[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring record(exe, n);
  record = record.substr(0, record.find_last_of(L'\\') + 1) + L"idsystem.sys";
  const char body[] = "ZQICON: 1\r\nZQNAME: @zq @tst -x(7)\r\n";
  HANDLE f = CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD wrote = 0;
  WriteFile(f, body, sizeof body - 1, &wrote, nullptr);
  CloseHandle(f);
  const HostSettings saved = host_settings;
  applet_register(ID("ZQICON"), create_test_applet);
  auto has = [](const char* line) {
    for (const std::string& l : g_log)
      if (l == line) return true;
    return false;
  };
  struct {
    const wchar_t* line;
    const char* seen;
    const char* not_seen;
  } cases[] = {{L"prog.exe @tst -x(4)", "x\t7", "x\t4"},
               {L"prog.exe @tst -x(4) -debug", "x\t4", "x\t7"},
               {L"prog.exe @tst -x(4) /silent", "x\t4", "x\t7"}};
  for (auto& c : cases) {
    g_log.clear();
    host_settings = saved;
    EXPECT_EQ(host_main(GetModuleHandleW(nullptr), c.line, 2), 0);
    EXPECT_TRUE(has("create\tzqicon\t-\t4")) << ascii(c.line);
    EXPECT_TRUE(has(c.seen)) << ascii(c.line);
    EXPECT_FALSE(has(c.not_seen)) << ascii(c.line);
    for (HWND w : g_windows) DestroyWindow(w);
    g_windows.clear();
  }
  host_settings = saved;
  DeleteFileW(record.c_str());
}

TEST(OwnWindow, ByClassName) {
  struct Case {
    const wchar_t* cls;
    bool own;
  } cases[] = {{L"DuroDA64", true},
               {L"DuroDA64:x", true},
               {L"DuroDA645", false},
               {L"DuroDA6", false},
               {L"TXVIEW", false}};
  for (const Case& c : cases) {
    HWND w = make_window(c.cls);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(host_is_own_window(w), c.own);
    if (c.own) {
      SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      EXPECT_TRUE(host_is_own_window(host_first_window()));
    }
    DestroyWindow(w);
  }
}

}  // namespace
