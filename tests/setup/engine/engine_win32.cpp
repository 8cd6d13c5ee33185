// The engine under Wine with the real registry of the prefix, real files in temporary folders and
// real shell links: a standard and a user installation, a second and a repair installation, a
// read-only file, the associations, the uninstall, and the search for the product's windows.
// Every test removes what it made: files, keys and links.

#include <windows.h>
// The shell headers after windows.h.
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <string>

#include "core/format.h"
#include "setup/assoc.h"
#include "setup/destination.h"
#include "setup/install/assoc_snapshot.h"
#include "setup/install/engine_fixture.h"
#include "setup/setup_record.h"
#include "setup/shell.h"
#include "setup/uninstall.h"
#include "support/links.h"

using namespace engine_test;

namespace {

const wchar_t kUninstall[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VI RIDEVA 9 64ved";
const wchar_t kAppPaths[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zqeditor.exe";

std::wstring wide(const std::string& s) {
  return fs::path(s).wstring();
}

// A string value, or "<none>" when the value or key is missing.
std::wstring reg_text(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t buf[1024];
  DWORD size = sizeof buf;
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
    return L"<none>";
  return buf;
}

DWORD reg_number(HKEY root, const wchar_t* key, const wchar_t* name) {
  DWORD v = 0xDEADBEEF, size = sizeof v;
  RegGetValueW(root, key, name, RRF_RT_REG_DWORD, nullptr, &v, &size);
  return v;
}

bool reg_exists(HKEY root, const wchar_t* key) {
  HKEY h;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

fs::path folder(PackedId id) {
  Text* t = special_folder(id);
  char16_t* w = path_resolve(t);
  fs::path p((const wchar_t*)w);
  std::free(w);
  text_free(t);
  return p;
}

struct Link {
  bool loaded = false;
  std::wstring target, arguments, icon;
  int index = -1;
};

Link read_link(const fs::path& p) {
  Link l;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW* sl = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              (void**)&sl)))
    return l;
  IPersistFile* pf = nullptr;
  if (SUCCEEDED(sl->QueryInterface(IID_IPersistFile, (void**)&pf))) {
    if (SUCCEEDED(pf->Load(p.wstring().c_str(), STGM_READ))) {
      wchar_t buf[MAX_PATH];
      l.loaded = true;
      if (SUCCEEDED(sl->GetPath(buf, MAX_PATH, nullptr, 0))) l.target = buf;
      if (SUCCEEDED(sl->GetArguments(buf, MAX_PATH))) l.arguments = buf;
      if (SUCCEEDED(sl->GetIconLocation(buf, MAX_PATH, &l.index))) l.icon = buf;
    }
    pf->Release();
  }
  sl->Release();
  return l;
}

bool same(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class Wine : public EngineTest {
 protected:
  std::vector<fs::path> made;  // folders outside root to remove
  // Extensions of the system that a test changes: their ProgId is put back, ours removed.
  std::vector<std::pair<std::wstring, std::wstring>> restore;
  void keep(const wchar_t* ext, const wchar_t* ours) {
    restore.push_back({ext, reg_text(HKEY_CLASSES_ROOT, ext, nullptr)});
    restore.push_back({ours, L""});
  }
  void SetUp() override {
    EngineTest::SetUp();
    clean_registry();
    per_user_set(false);
    // The settings folder (the previous-command lists) is the folder of the program.
    path_set_program_path((root / "zq9utl.exe").string().c_str());
    assoc_set_editor((dest / "zqeditor.exe").string().c_str());
  }
  void TearDown() override {
    for (const auto& [key, value] : restore) {
      if (value.empty() || value == L"<none>")
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
      else
        RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), 0);
    }
    for (PackedId where : {ID("DESK"), ID("STARTP"), ID("STARTC")})
      for (const char* n : {"ZQ Test Shortcut.lnk", "DO Rived.lnk", "RU Zirar.lnk"})
        DeleteFileW((folder(where) / n).wstring().c_str());
    clean_registry();
    assoc_set_editor(nullptr);
    std::error_code ec;
    for (const auto& p : made) fs::remove_all(p, ec);
    EngineTest::TearDown();
  }
  static void clean_registry() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VODudeduva");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\VODudeduva");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstall);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kAppPaths);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Applications\\zqeditor.exe");
    for (const wchar_t* k :
         {L".zqeng", L"zqengfile", L"text_zqengfile", L".zqnew", L"text_zqnewfile"})
      RegDeleteTreeW(HKEY_CLASSES_ROOT, k);
  }
  void options(int common, int sm, int dt, int brd, int fir) {
    setup_set(rec, ID("COMMON"), common);
    setup_set(rec, ID("REGSM"), sm);
    setup_set(rec, ID("REGDT"), dt);
    setup_set(rec, ID("REGBRD"), brd);
    setup_set(rec, ID("REGFIR"), fir);
    setup_set(rec, ID("REGEXE"), 1);
  }
  void expect_link(const fs::path& p, const char* arguments, int index) {
    Link l = read_link(p);
    ASSERT_TRUE(l.loaded) << p;
    EXPECT_TRUE(same(l.target, (dest / "zqeditor.exe").wstring())) << p;
    EXPECT_EQ(l.arguments, wide(arguments)) << p;
    EXPECT_TRUE(same(l.icon, (dest / "zqeditor.exe").wstring())) << p;
    EXPECT_EQ(l.index, index) << p;
  }
};

TEST_F(Wine, StandardInstallationRegistersLinksAndEveryUsersSettingsThenUninstalls) {
  dest = folder(ID("PFILES")) / "zqeng_standard";
  made.push_back(dest);
  setup_set_text(rec, ID("EXE"), dest.string().c_str());
  options(1, 1, 1, 1, 0);
  // Another user's settings file, where the current user's lies in that user's profile.
  fs::path profile = folder(ID("DESK")).parent_path();
  fs::path rest = fs::relative(folder(ID("APDAT")), profile) / "VODudeduva" / "ZQ9xcom";
  fs::path other = profile.parent_path() / "zqeng_other";
  made.push_back(other);
  put(other / rest / "idsystem.sys", "OTHER: 5\r\n");

  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  EXPECT_EQ(get(dest / "sample" / "txplugin.c"), entries["txplugin.c"].bytes);
  EXPECT_EQ(written(dest / "sample" / "txplugin.c").ticks, pak_sample_time().ticks);
  EXPECT_EQ(written(dest / "zq9.txt").ticks, entries["zq9.txt"].time.ticks);
  const std::wstring exe = (dest / "zqeditor.exe").wstring();
  EXPECT_EQ(reg_text(HKEY_LOCAL_MACHINE, L"Software\\VODudeduva\\ZQ9", L"folder"), dest.wstring());
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, L"Applications\\zqeditor.exe", nullptr), exe);
  EXPECT_EQ(
      reg_text(HKEY_CLASSES_ROOT, L"Applications\\zqeditor.exe\\shell\\open\\command", nullptr),
      L"\"" + exe + L"\" \"%1\"");
  EXPECT_EQ(reg_text(HKEY_LOCAL_MACHINE, kAppPaths, nullptr), exe);
  expect_link(folder(ID("STARTC")) / "ZQ Test Shortcut.lnk", "", 0);
  expect_link(folder(ID("DESK")) / "ZQ Test Shortcut.lnk", "", 0);
  expect_link(folder(ID("DESK")) / "DO Rived.lnk", "@board", 1);
  EXPECT_FALSE(fs::exists(folder(ID("DESK")) / "RU Zirar.lnk"));
  EXPECT_FALSE(fs::exists(folder(ID("STARTP")) / "ZQ Test Shortcut.lnk"));
  EXPECT_EQ(key_of(other / rest / "idsystem.sys", "SETUP"), 1);
  EXPECT_EQ(key_of(other / rest / "idsystem.sys", "OTHER"), 5);

  Text* command = setup_uninstall_command(rec);
  ASSERT_TRUE(uninstall_entry(rec, SETUP_PRODUCT, text_cstr(command), false)) << g_log;
  const std::wstring cmd = L"\"" + (dest / "zqsetup.exe").wstring() + L"\" -uninst";
  struct {
    const wchar_t* name;
    std::wstring value;
  } values[] = {{L"DisplayName", L"VI RIDEVA 9 64ved"},
                {L"UninstallString", cmd},
                {L"DisplayIcon", exe},
                {L"DisplayVersion", L"9.0"},
                {L"Publisher", L"VODudeduva"},
                {L"InstallLocation", dest.wstring()},
                {L"QuietUninstallString", cmd + L" -silent"}};
  for (const auto& v : values) EXPECT_EQ(reg_text(HKEY_LOCAL_MACHINE, kUninstall, v.name), v.value);
  EXPECT_EQ(reg_number(HKEY_LOCAL_MACHINE, kUninstall, L"EstimatedSize"),
            (DWORD)setup_get(rec, ID("INSTKB")));
  EXPECT_EQ(reg_number(HKEY_LOCAL_MACHINE, kUninstall, L"NoModify"), 1u);
  EXPECT_EQ(reg_number(HKEY_LOCAL_MACHINE, kUninstall, L"NoRepair"), 0u);
  text_free(command);

  // The uninstall, started as the installed "zqsetup.exe" with its quiet switch.
  put(dest / "sample" / "txdos.c", "the user's own");  // newer than the samples: kept too
  put(dest / "sample" / "hc01.bmp", "changed by the user");
  path_set_program_path((dest / "zqsetup.exe").string().c_str());
  Text* fresh = text_new();
  setup_set(fresh, ID("SILENT"), 1);
  ASSERT_TRUE(setup_uninstall(fresh)) << g_log;
  text_free(fresh);
  std::vector<std::string> left;
  for (auto& p : fs::recursive_directory_iterator(dest))
    left.push_back(fs::relative(p.path(), dest).generic_string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"sample", "sample/hc01.bmp", "sample/txdos.c",
                                            "zqsetup.exe"}));
  EXPECT_NE(g_log.find("fail: " + (dest / "zqsetup.exe").string()), std::string::npos);
  EXPECT_FALSE(reg_exists(HKEY_LOCAL_MACHINE, kUninstall));
  EXPECT_FALSE(reg_exists(HKEY_LOCAL_MACHINE, kAppPaths));
  EXPECT_FALSE(reg_exists(HKEY_CLASSES_ROOT, L"Applications\\zqeditor.exe"));
  for (PackedId where : {ID("STARTC"), ID("DESK")})
    for (const char* n : {"ZQ Test Shortcut.lnk", "DO Rived.lnk"})
      EXPECT_FALSE(fs::exists(folder(where) / n)) << n;
  EXPECT_FALSE(fs::exists(other / rest / "idsystem.sys"));  // every user's settings cleared
}

TEST_F(Wine, UserInstallationWritesUnderTheCurrentUser) {
  options(0, 1, 0, 0, 1);
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  EXPECT_EQ(reg_text(HKEY_CURRENT_USER, L"Software\\VODudeduva\\ZQ9", L"folder"), dest.wstring());
  EXPECT_EQ(reg_text(HKEY_LOCAL_MACHINE, L"Software\\VODudeduva\\ZQ9", L"folder"), L"<none>");
  expect_link(folder(ID("STARTP")) / "ZQ Test Shortcut.lnk", "", 0);
  expect_link(folder(ID("DESK")) / "RU Zirar.lnk", "@txfile", 3);
  EXPECT_FALSE(fs::exists(folder(ID("DESK")) / "ZQ Test Shortcut.lnk"));
  EXPECT_FALSE(fs::exists(folder(ID("STARTC")) / "ZQ Test Shortcut.lnk"));
  Text* t = text_new();
  EXPECT_TRUE(hist_load(rec));
  Text* hist = setup_get_text(rec, ID("HIST"));
  EXPECT_EQ(std::string(text_cstr(hist)), dest.string());
  text_free(hist);
  text_free(t);
}

// An overwrite under another shortcut name: the links of the name the installation recorded go,
// and a recorded name that would lead out of the links' folders deletes nothing.
TEST_F(Wine, OverwriteUnderAnotherNameRemovesTheLinksOfTheOldName) {
  const fs::path desk = folder(ID("DESK")), startp = folder(ID("STARTP"));
  const fs::path victim = desk.parent_path() / "zqeng_victim.lnk";
  put(victim, "not ours");
  struct Row {
    const char* recorded;  // ICON of the installed idsystem.sys, or null: the last installation's
    const char* now;
    bool old_links_go;
  } rows[] = {{nullptr, "ZQ Test Shortcut", false},
              {nullptr, "ZQ Test Renamed", true},
              {nullptr, "zq test renamed", false},  // the same file name
              {"..\\zqeng_victim", "ZQ Test Renamed", false}};
  std::string before = "ZQ Test Shortcut";
  for (const Row& r : rows) {
    SCOPED_TRACE(r.now);
    if (r.recorded) {
      put(dest / "idsystem.sys", std::string("ICON: ") + r.recorded + "\r\nCOMMON: 0\r\n");
      before = r.recorded;
    }
    setup_set_text(rec, ID("ICON"), r.now);
    options(0, 1, 1, 0, 0);
    ASSERT_TRUE(pak_install(rec, &block)) << g_log;
    for (const fs::path& where : {desk, startp}) {
      EXPECT_TRUE(fs::exists(where / (std::string(r.now) + ".lnk")));
      if (!r.recorded) {
        EXPECT_EQ(fs::exists(where / (before + ".lnk")), !r.old_links_go) << where;
      }
    }
    before = r.now;
  }
  EXPECT_TRUE(fs::exists(victim));
  fs::remove(victim);
  for (const fs::path& where : {desk, startp}) fs::remove(where / "ZQ Test Renamed.lnk");
}

TEST_F(Wine, SecondInstallationKeepsOtherKeysAndRepairClearsThem) {
  options(0, 0, 0, 0, 0);
  setup_set(rec, ID("REGEXE"), 0);
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  EXPECT_FALSE(reg_exists(HKEY_LOCAL_MACHINE, kAppPaths));  // only with REGEXE
  EXPECT_FALSE(reg_exists(HKEY_CLASSES_ROOT, L"Applications\\zqeditor.exe"));
  put(dest / "idsystem.sys", get(dest / "idsystem.sys") + "OTHER: 9\r\n");
  put(dest / "zq9.txt", "changed");
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  EXPECT_EQ(get(dest / "zq9.txt"), entries["zq9.txt"].bytes);  // every file overwritten
  EXPECT_EQ(written(dest / "zq9.txt").ticks, entries["zq9.txt"].time.ticks);
  EXPECT_EQ(key_of(dest / "idsystem.sys", "OTHER"), 9);
  setup_set(rec, ID("RESCUE"), 1);
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  EXPECT_EQ(key_of(dest / "idsystem.sys", "OTHER"), -1);
  EXPECT_EQ(key_of(dest / "idsystem.sys", "SETUP"), 2);
}

// A user who points the settings folder at another folder does not get the administrator's
// installation to write there; a planted link in place of the file is replaced.
TEST_F(Wine, LinksInUsersSettingsAreNeitherFollowedNorWrittenThrough) {
  dest = folder(ID("PFILES")) / "zqeng_links";
  made.push_back(dest);
  setup_set_text(rec, ID("EXE"), dest.string().c_str());
  options(1, 0, 0, 0, 0);
  fs::path profile = folder(ID("DESK")).parent_path();
  fs::path rest = fs::relative(folder(ID("APDAT")), profile) / "VODudeduva" / "ZQ9xcom";
  fs::path elsewhere = profile.parent_path() / "zqeng_elsewhere";
  fs::path linked = profile.parent_path() / "zqeng_linked";
  fs::path planted = profile.parent_path() / "zqeng_planted";
  for (const auto& p : {elsewhere, linked, planted}) made.push_back(p);
  put(elsewhere / "idsystem.sys", "SECRET: 42\r\n");
  fs::create_directories((linked / rest).parent_path());
  put(planted / rest / "keep.txt", "");
  fs::remove(planted / rest / "keep.txt");
  if (!CreateSymbolicLinkW((linked / rest).wstring().c_str(), elsewhere.wstring().c_str(),
                           SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      !CreateSymbolicLinkW((planted / rest / "idsystem.sys").wstring().c_str(),
                           (elsewhere / "idsystem.sys").wstring().c_str(), 0) ||
      !(GetFileAttributesW((planted / rest / "idsystem.sys").wstring().c_str()) &
        FILE_ATTRIBUTE_REPARSE_POINT) ||
      GetFileAttributesW((planted / rest / "idsystem.sys").wstring().c_str()) ==
          INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "this system makes no symbolic links (Wine 8 says it did and makes none)";
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  EXPECT_EQ(get(elsewhere / "idsystem.sys"), "SECRET: 42\r\n");
  EXPECT_FALSE(fs::is_symlink(planted / rest / "idsystem.sys"));
  EXPECT_EQ(key_of(planted / rest / "idsystem.sys", "SECRET"), -1);
  EXPECT_EQ(key_of(planted / rest / "idsystem.sys", "CFGVER"), 100);
  EXPECT_NE(g_log.find("folder is a link"), std::string::npos) << g_log;
  RemoveDirectoryW((linked / rest).wstring().c_str());
}

TEST_F(Wine, ReadOnlyFileFailsWithItsNameAndTheSystemsReason) {
  options(0, 0, 0, 0, 0);
  put(dest / "cmd9.txt", "old");
  SetFileAttributesW((dest / "cmd9.txt").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
  Text* failure = text_new();
  EXPECT_FALSE(pak_install(rec, &block, failure));
  Text* reason = os_error_text(ERROR_ACCESS_DENIED);
  std::string expected = (dest / "cmd9.txt").string() + ": " + text_cstr(reason);
  EXPECT_NE(std::string(text_cstr(failure)).find(expected), std::string::npos)
      << text_cstr(failure);
  EXPECT_NE(g_log.find("fail: " + expected), std::string::npos);
  Text* message = install_failure_message(failure);
  EXPECT_NE(std::string(text_cstr(message)).find(expected), std::string::npos);
  text_free(message);
  text_free(reason);
  text_free(failure);
  SetFileAttributesW((dest / "cmd9.txt").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(get(dest / "cmd9.txt"), "old");
  EXPECT_FALSE(fs::exists(dest / "zq9.txt"));  // all or nothing: no other file was written
  EXPECT_FALSE(leftovers(dest));
  EXPECT_FALSE(fs::exists(dest / "idsystem.sys"));  // no registration
  EXPECT_EQ(reg_text(HKEY_CURRENT_USER, L"Software\\VODudeduva\\ZQ9", L"folder"), L"<none>");
}

TEST_F(Wine, AssociationsSaveAndRestoreThePreviousCommand) {
  const std::wstring mine = L"\"" + (dest / "zqeditor.exe").wstring() + L"\" \"%1\"";
  const wchar_t* open = L"text_zqengfile\\shell\\open\\command";
  RegSetValueW(HKEY_CLASSES_ROOT, L".zqeng", REG_SZ, L"zqengfile", 0);
  RegSetValueW(HKEY_CLASSES_ROOT, L"zqengfile\\shell\\open\\command", REG_SZ, L"other.exe %1", 0);
  EXPECT_FALSE(assoc_query(".zqeng", ID("OPEN"), false));
  ASSERT_TRUE(assoc_set(".zqeng", ID("OPEN"), true)) << g_log;
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, L".zqeng", nullptr), L"text_zqengfile");
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, open, nullptr), mine);
  EXPECT_TRUE(assoc_query(".zqeng", ID("OPEN"), false));
  // Both lists know the extension's ProgId: switching it takes both verbs.
  EXPECT_EQ(get(root / "rgopen.lst"), ".zqeng\tother.exe %1\t=zqengfile\r\n");
  EXPECT_EQ(get(root / "rgedit.lst"), ".zqeng\t\t=zqengfile\r\n");
  ASSERT_TRUE(assoc_set(".zqeng", ID("OPEN"), false));
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, open, nullptr), L"other.exe %1");
  EXPECT_TRUE(reg_exists(HKEY_CLASSES_ROOT, open));                          // the key itself stays
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, L".zqeng", nullptr), L"zqengfile");  // as before

  // Associated twice: the lists keep what the extension was before the first time.
  assoc_set(".zqeng", ID("OPEN"), true);
  assoc_set(".zqeng", ID("OPEN"), true);
  assoc_set(".zqeng", ID("OPEN"), false);
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, L".zqeng", nullptr), L"zqengfile");
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, L"zqengfile\\shell\\open\\command", nullptr),
            L"other.exe %1");
  // Lists lost while associated: the editor's own command is all there is to save, and removing
  // writes an empty one.
  assoc_set(".zqeng", ID("OPEN"), true);
  fs::remove(root / "rgopen.lst");
  fs::remove(root / "rgedit.lst");
  assoc_set(".zqeng", ID("OPEN"), true);
  assoc_set(".zqeng", ID("OPEN"), false);
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, open, nullptr), L"");
  // An extension without a saved line gets an empty command too.
  assoc_set(".zqeng", ID("EDIT"), false);
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, L"text_zqengfile\\shell\\edit\\command", nullptr), L"");
  // ".txt" also gets its ProgId's description, flags and icon.
  keep(L".txt", L"text_txtfile");
  ASSERT_TRUE(assoc_set(".txt", ID("EDIT"), true));
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, L"text_txtfile", nullptr), L"テキスト ドキュメント");
  EXPECT_EQ(reg_number(HKEY_CLASSES_ROOT, L"text_txtfile", L"EditFlags"), 0x10000u);
  EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, L"text_txtfile\\DefaultIcon", nullptr),
            L"\"" + (dest / "zqeditor.exe").wstring() + L"\",5");
  // The one-extension dialog applies only the boxes that changed.
  assoc_apply(".zqeng", false, false, false, true);
  EXPECT_TRUE(assoc_query(".zqeng", ID("EDIT"), false));
  EXPECT_FALSE(assoc_query(".zqeng", ID("OPEN"), false));
  assoc_apply(".zqeng", false, true, true, true);
  EXPECT_TRUE(assoc_query(".zqeng", ID("OPEN"), false));
  assoc_remove(".zqeng");
  EXPECT_FALSE(assoc_query(".zqeng", ID("EDIT"), false) ||
               assoc_query(".zqeng", ID("OPEN"), false));
  // An extension new to the system is in the list all the same, and the removal finds it.
  ASSERT_TRUE(assoc_add(".zqnew"));
  EXPECT_TRUE(assoc_query(".zqnew", ID("EDIT"), false));
  EXPECT_GE(assoc_remove_all(ID("EDIT")), 1);
  EXPECT_FALSE(assoc_query(".zqnew", ID("EDIT"), false));
}

// ".txt" opening in the system's editor; the editor takes it (by the list dialog's ADD, or by an
// installation with REGTXT on) and gives it back (DEL, or the uninstall): afterwards ".txt" opens
// exactly as before, value for value.
TEST_F(Wine, TxtComesBackToTheSystemsEditorAfterDelAndAfterTheUninstall) {
  using assoc_test::snapshot;
  keep(L".txt", L"text_txtfile");
  RegSetValueW(HKEY_CLASSES_ROOT, L".txt", REG_SZ, L"txtfile", 0);
  const std::wstring system = snapshot(L".txt");
  ASSERT_EQ(system.find(L"txtfile\\shell\\open\\command = <none>"), std::wstring::npos) << system;
  struct Case {
    const char* name;
    int common;  // -1: the list dialog's ADD and DEL, no installation
    int adds;    // ADD pressed this many times
  } cases[] = {{"ADD, DEL", -1, 1},
               {"ADD twice, DEL", -1, 2},
               {"user installation, uninstall", 0, 1},
               {"standard installation, uninstall", 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(root / "rgedit.lst");
    fs::remove(root / "rgopen.lst");
    fs::path lists = root;
    if (c.common >= 0) {
      if (c.common) {
        dest = folder(ID("PFILES")) / "zqeng_assoc";
        made.push_back(dest);
        lists = folder(ID("APDAT")) / "VODudeduva" / "ZQ9xcom";
      } else {
        dest = root / "inst";
        lists = dest;
      }
      setup_set_text(rec, ID("EXE"), dest.string().c_str());
      options(c.common, 0, 0, 0, 0);
      // The editor named before the installation is not the one installed.
      assoc_set_editor((root / "elsewhere" / "zqeditor.exe").string().c_str());
      ASSERT_TRUE(pak_install(rec, &block)) << g_log;
      assoc_use_installation(rec);
      assoc_set_id(ID("TXT"), true);
    } else {
      for (int k = 0; k < c.adds; ++k) ASSERT_TRUE(assoc_add(".txt")) << g_log;
    }
    const std::wstring mine = L"1:\"" + (dest / "zqeditor.exe").wstring() + L"\" \"%1\"";
    std::wstring now = snapshot(L".txt");
    EXPECT_NE(now.find(L"text_txtfile\\shell\\open\\command = " + mine), std::wstring::npos) << now;
    EXPECT_NE(now.find(L"text_txtfile\\shell\\edit\\command = " + mine), std::wstring::npos) << now;
    EXPECT_NE(get(lists / "rgopen.lst").find(".txt\t"), std::string::npos) << lists;
    if (c.common >= 0) {
      EXPECT_TRUE(fs::exists(dest / "zqeditor.exe"));
      EXPECT_FALSE(fs::exists(root / "rgopen.lst")) << "not beside the set-up program";
      assoc_use_installation(nullptr);
      path_set_program_path((dest / "zqsetup.exe").string().c_str());
      Text* fresh = text_new();
      setup_set(fresh, ID("SILENT"), 1);
      EXPECT_TRUE(setup_uninstall(fresh)) << g_log;
      text_free(fresh);
      path_set_program_path((root / "zq9utl.exe").string().c_str());
      assoc_set_editor((dest / "zqeditor.exe").string().c_str());
    } else {
      assoc_remove(".txt");
    }
    EXPECT_EQ(snapshot(L".txt"), system);
  }
  // The one-extension dialog still refuses a script, and writes nothing for it.
  const std::wstring bat = snapshot(L".bat");
  EXPECT_TRUE(assoc_refused(".bat"));
  assoc_apply(".bat", false, true, false, true);
  EXPECT_EQ(snapshot(L".bat"), bat);
}

TEST_F(Wine, ATableRowIsAssociatedByEditAndChangesEditAndOpen) {
  keep(L".h", L"text_hfile");
  assoc_set_id(ID("H"), true);
  EXPECT_TRUE(assoc_query_id(ID("H")));
  EXPECT_TRUE(assoc_query(".h", ID("EDIT"), false) && assoc_query(".h", ID("OPEN"), false));
  assoc_set(".h", ID("EDIT"), false);
  EXPECT_FALSE(assoc_query_id(ID("H")));  // OPEN alone is not an association of the table
  assoc_set_id(ID("H"), false);
  EXPECT_FALSE(assoc_query(".h", ID("EDIT"), false) || assoc_query(".h", ID("OPEN"), false));
}

TEST_F(Wine, AddBatAssociatesEditOnlyAndTheListShowsEditAssociations) {
  keep(L".bat", L"text_batfile");
  RegSetValueW(HKEY_CLASSES_ROOT, L".zqeng", REG_SZ, L"zqengfile", 0);
  ASSERT_TRUE(assoc_add("bat")) << g_log;
  EXPECT_TRUE(assoc_query(".bat", ID("EDIT"), false));
  EXPECT_FALSE(assoc_query(".bat", ID("OPEN"), false));
  EXPECT_FALSE(reg_exists(HKEY_CLASSES_ROOT, L"text_batfile\\shell\\open\\command"));
  ASSERT_TRUE(assoc_set(".zqeng", ID("OPEN"), true));  // OPEN only: not in the list
  Text* list = assoc_list();
  std::string shown = text_cstr(list);
  text_free(list);
  EXPECT_NE(shown.find(".bat\r\n"), std::string::npos) << shown;
  EXPECT_EQ(shown.find(".zqeng"), std::string::npos) << shown;
  // The uninstall's removal: EDIT then OPEN from the lists.
  EXPECT_EQ(assoc_remove_all(ID("EDIT")), 1) << get(root / "rgedit.lst");
  EXPECT_EQ(assoc_remove_all(ID("OPEN")), 1);
  EXPECT_FALSE(assoc_query(".bat", ID("EDIT"), false));
  EXPECT_FALSE(assoc_query(".zqeng", ID("OPEN"), false));
}

TEST_F(Wine, HtmlEditorRegistrationModes) {
  const wchar_t* list = L"SOFTWARE\\Classes\\.htm\\OpenWithList";
  bool existed = reg_exists(HKEY_LOCAL_MACHINE, list);
  HKEY h;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, list, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
  RegCloseKey(h);
  EXPECT_EQ(assoc_html_choice(), 0);
  assoc_html_apply(2);
  EXPECT_EQ(assoc_html_choice(), 2);
  std::wstring key = std::wstring(list) + L"\\VA VUDOVA 9.0\\shell\\edit\\command";
  EXPECT_EQ(reg_text(HKEY_LOCAL_MACHINE, key.c_str(), nullptr),
            L"\"" + (root / "zqeditor.exe").wstring() + L"\" \"%1\"");
  assoc_html_apply(0);
  EXPECT_FALSE(reg_exists(HKEY_LOCAL_MACHINE, (std::wstring(list) + L"\\VA VUDOVA 9.0").c_str()));
  if (!existed) RegDeleteTreeW(HKEY_LOCAL_MACHINE, list);
}

LRESULT CALLBACK plain(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(w, m, wp, lp);
}

TEST(ProductRunning, FindsTopLevelFramesOfTheRuntimesClasses) {
  EXPECT_FALSE(product_running(nullptr));
  WNDCLASSW wc = {};
  wc.lpfnWndProc = plain;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"DuroDA64:TEST";
  ASSERT_TRUE(RegisterClassW(&wc));
  wc.lpszClassName = L"DuroDA64X";  // not one of them
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND other = CreateWindowExW(0, L"DuroDA64X", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
  EXPECT_FALSE(product_running(nullptr));
  HWND frame = CreateWindowExW(0, L"DuroDA64:TEST", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                               nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(frame);
  EXPECT_TRUE(product_running(nullptr));
  EXPECT_FALSE(product_running(frame));  // the caller's own window is left out
  DestroyWindow(frame);
  DestroyWindow(other);
  EXPECT_FALSE(product_running(nullptr));
}

}  // namespace

// ---- the folder judge and the links, with the prefix's real folders ----

namespace {

std::string narrow(const fs::path& p) {
  Text* t = text_new();
  text_put_wide(t, (const char16_t*)p.wstring().c_str());
  std::string s = text_cstr(t);
  text_free(t);
  return s;
}

std::string short_name(const fs::path& p) {
  wchar_t buf[MAX_PATH];
  DWORD n = GetShortPathNameW(p.wstring().c_str(), buf, MAX_PATH);
  return n > 0 && n < MAX_PATH ? narrow(fs::path(buf)) : narrow(p);
}

}  // namespace

// Each kind of folder is refused whatever name reaches it: a link, an 8.3 name, "\\?\", "..",
// trailing dots; a user installation cannot slip into Program Files by another name.
TEST_F(Wine, TheJudgeRefusesEachKindOfFolderByAnyName) {
  // The prefix's documents folder is a link to the Linux home: the guard is given one of the
  // test's own, so that no link of the test ever leads out of it.
  FolderGuard g = folder_guard_system();
  fs::path pf = folder(ID("PFILES")), docs = root / "Docs", desk = folder(ID("DESK"));
  fs::path alias = root / "alias";
  fs::create_directories(docs);
  const std::string docs_name = narrow(docs);
  const char* system_docs = g.documents;
  g.documents = docs_name.c_str();
  Links links;
  ASSERT_TRUE(links.make(docs, alias));
  const std::string P = narrow(pf), D = narrow(docs);
  struct {
    std::string folder;
    bool refused;
  } rows[] = {{P + "\\zqeng_ok", false},
              {P, true},
              {"\\\\?\\" + P, true},
              {short_name(pf), true},
              {P + "\\zqeng_ok\\..", true},
              {P + ".", true},
              {D, true},
              {narrow(alias), true},
              {narrow(desk) + "\\", true},
              {narrow(folder(ID("APDAT"))), true},
              {"C:\\", true},
              {"C:\\windows", true},
              {"C:\\WINDOWS.\\system32", true},
              {"C:\\windows\\system32\\zqeng", true},
              {narrow(root / "inst"), false}};
  for (const auto& r : rows) {
    const char* why = folder_refusal(r.folder.c_str(), &g);
    EXPECT_EQ(why != nullptr, r.refused) << r.folder << ": " << (why ? why : "accepted");
  }
  g.documents = system_docs;
  folder_guard_free(&g);
  // A user installation stays out of Program Files under any of its names.
  SetupEnv env{};
  ASSERT_TRUE(setup_env_load(&env));
  setup_set(rec, ID("COMMON"), 0);
  for (const std::string& f : {"\\\\?\\" + P + "\\X", short_name(pf) + "\\X", P + "\\.\\X"}) {
    setup_set_text(rec, ID("EXE"), f.c_str());
    EXPECT_FALSE(setup_folder_valid(rec, &env, nullptr)) << f;
  }
  setup_env_free(&env);
}

// Another user's settings folder, or the vendor folder above it, made a link to a folder of
// files: the standard installation writes nothing there and its uninstall deletes nothing there.
TEST_F(Wine, AnotherUsersLinkedSettingsFolderIsNeitherWrittenNorCleared) {
  dest = folder(ID("PFILES")) / "zqeng_linked";
  made.push_back(dest);
  setup_set_text(rec, ID("EXE"), dest.string().c_str());
  options(1, 0, 0, 0, 0);
  fs::path profile = folder(ID("DESK")).parent_path();
  fs::path rest = fs::relative(folder(ID("APDAT")), profile);
  fs::path target = root / "target";
  const char* files[] = {"a.sys", "b.cfg", "c.log", "d.key", "e.lst", "idsystem.sys"};
  for (const char* f : files) put(target / f, f);
  put(target / "ZQ9xcom" / "idsystem.sys", "idsystem.sys");
  fs::path one = profile.parent_path() / "zqeng_linked1",
           two = profile.parent_path() / "zqeng_linked2";
  made.push_back(one);
  made.push_back(two);
  fs::create_directories(one / rest / "VODudeduva");
  fs::create_directories(two / rest);
  Links links;
  ASSERT_TRUE(links.make(target, one / rest / "VODudeduva" / "ZQ9xcom"));
  ASSERT_TRUE(links.make(target, two / rest / "VODudeduva"));

  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  for (const char* f : files) EXPECT_EQ(get(target / f), f) << f;
  EXPECT_EQ(get(target / "ZQ9xcom" / "idsystem.sys"), "idsystem.sys");
  EXPECT_FALSE(fs::exists(target / MANIFEST_NAME));
  EXPECT_NE(g_log.find("skip (link): "), std::string::npos) << g_log;

  path_set_program_path((dest / "zqsetup.exe").string().c_str());
  setup_set(rec, ID("SILENT"), 1);
  int code = -1;
  ASSERT_TRUE(uninstall_run(rec, &code)) << g_log;
  EXPECT_EQ(code, 0);
  for (const char* f : files) EXPECT_EQ(get(target / f), f) << f;
  EXPECT_EQ(get(target / "ZQ9xcom" / "idsystem.sys"), "idsystem.sys");
  EXPECT_EQ(g_log.find("del: " + narrow(one)), std::string::npos) << g_log;
  EXPECT_EQ(g_log.find("del: " + narrow(two)), std::string::npos) << g_log;
}

// A program of the suite running from the installation: the uninstall refuses before it
// removes or unregisters anything, names the program, and says so in its exit code.
TEST_F(Wine, UninstallRefusesWhileAProgramRunsFromTheInstallation) {
  dest = folder(ID("PFILES")) / "zqeng_running";
  made.push_back(dest);
  setup_set_text(rec, ID("EXE"), dest.string().c_str());
  options(1, 0, 0, 0, 0);
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  Text* command = setup_uninstall_command(rec);
  ASSERT_TRUE(uninstall_entry(rec, SETUP_PRODUCT, text_cstr(command), false));
  text_free(command);
  wchar_t sys[MAX_PATH];
  GetSystemDirectoryW(sys, MAX_PATH);
  fs::path runner = dest / "runner.exe";
  ASSERT_TRUE(
      CopyFileW((fs::path(sys) / "ping.exe").wstring().c_str(), runner.wstring().c_str(), FALSE));
  std::wstring line = L"\"" + runner.wstring() + L"\" -n 60 127.0.0.1";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(runner.wstring().c_str(), line.data(), nullptr, nullptr, FALSE,
                             CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
  path_set_program_path((dest / "zqsetup.exe").string().c_str());
  setup_set(rec, ID("SILENT"), 1);
  int code = -1;
  bool removed = uninstall_run(rec, &code);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_FALSE(removed);
  EXPECT_EQ(code, 3);
  EXPECT_NE(g_log.find("runner.exe"), std::string::npos) << g_log;
  EXPECT_EQ(g_log.find("del: "), std::string::npos) << g_log;
  EXPECT_TRUE(reg_exists(HKEY_LOCAL_MACHINE, kUninstall));
  for (const char* f : {"zqeditor.exe", "idsystem.sys", "zqfiles.lst", "sample\\txplugin.c"})
    EXPECT_TRUE(fs::exists(dest / f)) << f;
}
