// The engine's portable side, natively: an installation's files and times from a package made by
// the writer, the per-user settings keys, the walk modes, the previous-command lists, and the
// uninstall's deletions with its safety check.

#include <gtest/gtest.h>

#include "core/format.h"
#include "setup/assoc.h"
#include "setup/install/engine_fixture.h"
#include "setup/switches.h"
#include "setup/uninstall.h"
#include "setup/wizard.h"
#include "support/links.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace engine_test;

namespace {

// Paths in the log use the system's separator and lines end in CR LF; compare them with "/"
// and LF everywhere.
std::string norm(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '\r') out += c == '\\' ? '/' : c;
  return out;
}

TEST_F(EngineTest, InstallWritesEveryEntryToItsDestinationsWithItsTime) {
  Text* failure = text_new();
  ASSERT_TRUE(pak_install(rec, &block, failure)) << text_cstr(failure) << g_log;
  text_free(failure);
  const uint64_t sample = pak_sample_time().ticks;
  struct {
    const char* path;
    const char* entry;
    bool sample_time;
  } rows[] = {
      {"zqeditor.exe", "zqeditor.exe", false},
      {"zqsetup.exe", "zqsetup.exe", false},
      {"qmac/system/txtool.c", "txtool.c", false},
      {"qmac/sample/txplugin.c", "txplugin.c", true},
      {"sample/txplugin.c", "txplugin.c", true},
      {"qmac/sample/txcard.c", "txcard.c", true},
      {"sample/editor.txz", "editor.txz", true},
      {"editor.txz", "editor.txz", false},
      {"sample/hc01.bmp", "hc01.bmp", true},
      {"sample/pic.png", "pic.png", true},
      {"dic1a.ime", "dic1a.ime", false},
      {"contract.txt", "contract.txt", false},
      {"roma.tsv", "roma.tsv", false},
  };
  for (const auto& r : rows) {
    fs::path p = dest / r.path;
    ASSERT_TRUE(fs::exists(p)) << r.path;
    EXPECT_EQ(get(p), entries[r.entry].bytes) << r.path;
    EXPECT_EQ(written(p).ticks, r.sample_time ? sample : entries[r.entry].time.ticks) << r.path;
  }
  EXPECT_FALSE(fs::exists(dest / "txplugin.c"));
  EXPECT_FALSE(fs::exists(dest / "sample" / "txcard.c"));
  EXPECT_FALSE(leftovers(dest));
  Text* probe = format_text("管理者権限調査用のファイル\r\n削除しないでください\r\n");
  EXPECT_EQ(get(dest / "idtemp.sys"), text_cstr(probe));
  text_free(probe);
  EXPECT_EQ(key_of(dest / "idsystem.sys", "SETUP"), 1);
  EXPECT_EQ(key_of(dest / "idsystem.sys", "CFGVER"), 100);
  EXPECT_EQ(key_of(dest / "idsystem.sys", "SCHMAT"), 0);
  EXPECT_GT(setup_get(rec, ID("INSTKB")), 0);
}

TEST_F(EngineTest, ADamagedPackageFailsAndWritesNothingOutside) {
  struct {
    const char* name;
    size_t cut;  // bytes taken off the end
    const char* said;
  } rows[] = {{"..\\evil.txt", 0, "path separator"}, {"last.txt", 3, "runs past the end"}};
  for (const auto& r : rows) {
    Bytes bad = pak;
    append_entry(&bad, r.name, "payload");
    bad.resize(bad.size() - r.cut);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", (unsigned)bad.size());
    std::memcpy(bad.data() + 9, hex, 8);
    PakBlock b;
    ASSERT_TRUE(pak_block(bad.data(), bad.size(), &b));
    Text* failure = text_new();
    EXPECT_FALSE(pak_install(rec, &b, failure));
    EXPECT_NE(std::string(text_cstr(failure)).find(r.said), std::string::npos)
        << text_cstr(failure);
    text_free(failure);
    EXPECT_FALSE(fs::exists(root / "evil.txt"));
    EXPECT_FALSE(fs::exists(dest / "idsystem.sys"));  // no registration
  }
}

TEST_F(EngineTest, AUserInstallationMakesEveryMissingLevelOfItsFolder) {
  // The record's defaults make no folder: the installation makes the vendor folder and below.
  std::string pf = (root / "pf").string(), ad = (root / "ad").string();
  SetupEnv env = {pf.c_str(), ad.c_str(), "taro", ""};
  Text* user = text_new();
  setup_set(user, ID("COMMON"), 0);
  setup_defaults(user, &env);
  setup_set(user, ID("REGDT"), 0);  // no links in the test's system
  EXPECT_FALSE(fs::exists(root / "ad"));
  ASSERT_TRUE(pak_install(user, &block)) << g_log;
  EXPECT_TRUE(fs::is_regular_file(root / "ad" / "VODudeduva" / "VA VUDOVA 9" / "zqeditor.exe"));
  text_free(user);
}

TEST_F(EngineTest, DefaultsFromTheRecordAndTheInstalledSettings) {
  struct {
    int common;
    const char* installed;  // idsystem.sys, or null
    const char* icon;
    int speak, regsm;
  } rows[] = {{1, nullptr, "VI Rideva 9 64ved", -1, 1},
              {0, nullptr, "VI Rideva 9 64ved (", -1, 1},
              {1, "ICON: Mine\r\nSPEAK: 1\r\n", "Mine", 1, 0}};
  for (const auto& row : rows) {
    fs::remove_all(dest);
    if (row.installed) {
      put(dest / "idsystem.sys", row.installed);
      put(dest / "zqeditor.exe", "");
    }
    Text* rr = text_new();
    setup_set_text(rr, ID("EXE"), dest.string().c_str());
    setup_set(rr, ID("COMMON"), row.common);
    SetupEnv env{};
    setup_env_load(&env);
    setup_defaults(rr, &env);
    setup_env_free(&env);
    setup_option_defaults(rr);
    Text* icon = setup_get_text(rr, ID("ICON"));
    EXPECT_EQ(std::string(text_cstr(icon)).rfind(row.icon, 0), 0u) << text_cstr(icon);
    text_free(icon);
    EXPECT_EQ(header_has(rr, ID("SPEAK"), HK_ID) ? setup_get(rr, ID("SPEAK")) : -1, row.speak);
    EXPECT_EQ(setup_get(rr, ID("REGSM")), row.regsm);
    EXPECT_EQ(setup_get(rr, ID("REGDT")), 1);
    EXPECT_FALSE(header_has(rr, ID("DST"), HK_ID));  // EXE present: DST untouched
    text_free(rr);
  }
}

TEST_F(EngineTest, AFolderThatCannotBeMadeFailsWithAMessageOrALineWhenSilent) {
  put(root / "file", "a file where the folder should be");
  setup_set_text(rec, ID("EXE"), (root / "file" / "inst").string().c_str());
  for (bool silent : {false, true}) {
    g_boxes.clear();
    g_log.clear();
    setup_set(rec, ID("SILENT"), silent ? 1 : 0);
    EXPECT_FALSE(pak_install(rec, &block));
    std::string shown = silent ? g_log : (g_boxes.empty() ? "" : g_boxes[0]);
    EXPECT_EQ(g_boxes.size(), silent ? 0u : 1u);
    EXPECT_NE(norm(shown).find(norm((root / "file" / "inst").string())), std::string::npos);
  }
  EXPECT_EQ(get(root / "file"), "a file where the folder should be");
}

TEST_F(EngineTest, SettingsUpdateKeepsOtherKeysAndRepairClearsThem) {
  struct {
    const char* before;
    int rescue, speak;
    int setup, schmat, cfgver, speak_after, other;
  } rows[] = {
      // Second installation: OTHER stays, CFGVER 120 keeps SCHMAT untouched.
      {"OTHER: 7\r\nCFGVER: 120\r\nSCHMAT: 3\r\n", 0, 0, 1, 3, 100, -1, 7},
      // CFGVER 100 is already the current version: SCHMAT stays.
      {"OTHER: 7\r\nCFGVER: 100\r\nSCHMAT: 3\r\n", 0, 0, 1, 3, 100, -1, 7},
      // Just below it, SCHMAT goes back to 0.
      {"OTHER: 7\r\nCFGVER: 99\r\nSCHMAT: 3\r\n", 0, 0, 1, 0, 100, -1, 7},
      // An old record gets SCHMAT 0; SPEAK is rewritten because the record had it.
      {"OTHER: 7\r\nCFGVER: 50\r\nSPEAK: 1\r\n", 0, 0, 1, 0, 100, 0, 7},
      // Repair: everything else goes, SETUP 2.
      {"OTHER: 7\r\nCFGVER: 120\r\n", 1, 1, 2, 0, 100, 1, -1},
      // A missing file is an empty record.
      {nullptr, 0, 0, 1, 0, 100, -1, -1},
  };
  for (const auto& r : rows) {
    fs::path file = root / "idsystem.sys";
    fs::remove(file);
    if (r.before) put(file, r.before);
    setup_set(rec, ID("RESCUE"), r.rescue);
    setup_set(rec, ID("SPEAK"), r.speak);
    setup_set(rec, ID("COMMON"), 1);
    ASSERT_TRUE(user_settings_update(rec, file.string().c_str()));
    EXPECT_EQ(key_of(file, "SETUP"), r.setup) << r.before;
    EXPECT_EQ(key_of(file, "SCHMAT"), r.schmat) << r.before;
    EXPECT_EQ(key_of(file, "CFGVER"), r.cfgver);
    EXPECT_EQ(key_of(file, "SPEAK"), r.speak_after) << r.before;
    EXPECT_EQ(key_of(file, "OTHER"), r.other) << r.before;
    EXPECT_EQ(key_of(file, "COMMON"), 1);
    EXPECT_EQ(key_of(file, "NEW"), 1);
  }
}

TEST_F(EngineTest, WalkModesReadListAndDate) {
  size_t n = 0;
  uint8_t* help = pak_read_file(&block, PAK_MODE_HELP, &n);
  ASSERT_TRUE(help);
  EXPECT_EQ(std::string((char*)help, n), entries["zq9.txt"].bytes);
  std::free(help);
  uint8_t* agreement = pak_read_file(&block, PAK_MODE_AGREEMENT, &n);
  ASSERT_TRUE(agreement);
  EXPECT_EQ(std::string((char*)agreement, n), entries["contract.txt"].bytes);
  std::free(agreement);
  FileTime t;
  ASSERT_TRUE(pak_editor_date(&block, &t));
  EXPECT_EQ(t.ticks, entries["zqeditor.exe"].time.ticks);
  EXPECT_EQ(pak_list_destinations(&block, "C:\\ZQ"), (int)entries.size() + 2);
  EXPECT_NE(norm(g_log).find(norm("C:\\ZQ\\qmac\\sample\\txplugin.c\n")), std::string::npos);
  EXPECT_NE(norm(g_log).find(norm("C:\\ZQ\\sample\\txplugin.c\n")), std::string::npos);
  EXPECT_NE(norm(g_log).find(norm("C:\\ZQ\\editor.txz\n")), std::string::npos);
  EXPECT_EQ(pak_extract_images(&block), 1);
  Text* copy = temp_copy_find("pic.png");
  ASSERT_TRUE(copy);
  EXPECT_EQ(get(text_cstr(copy)), entries["pic.png"].bytes);
  text_free(copy);
  temp_copy_cleanup();
}

TEST(PreviousCommands, SavedAndLookedUpByExtension) {
  Text* list = text_new();
  ASSERT_TRUE(assoc_save_command(list, ".txt", "notepad.exe %1"));
  ASSERT_TRUE(assoc_save_command(list, ".c", "\"C:\\ed.exe\" \"%1\""));
  ASSERT_TRUE(assoc_save_command(list, ".TXT", "write.exe %1"));  // replaces, any case
  EXPECT_STREQ(text_cstr(list), ".TXT\twrite.exe %1\r\n.c\t\"C:\\ed.exe\" \"%1\"\r\n");
  char* c = assoc_saved_command(list, ".C");
  EXPECT_STREQ(c, "\"C:\\ed.exe\" \"%1\"");
  std::free(c);
  EXPECT_EQ(assoc_saved_command(list, ".h"), nullptr);
  EXPECT_FALSE(assoc_save_command(list, ".h", "two\r\nlines"));  // would break the list
  // The origin field: the ProgId the extension named, "=" alone for none, "-" for no key; a
  // command with a tab of its own reads back whole.
  struct {
    const char* ext;
    const char* command;
    const char* origin;
    bool ok;
  } origins[] = {{".txt", "%SystemRoot%\\notepad.exe %1", "=txtfile", true},
                 {".e1", "", "=", true},
                 {".e2", "", "-", true},
                 {".e3", "a\tb %1", "=x", true},
                 {".e4", "a\tb %1", nullptr, false},  // would read back as two fields
                 {".e5", "c %1", "txtfile", false},   // not an origin
                 {".e6", "c %1", "=a\tb", false},
                 {".e7", "c %1", "-x", false}};
  for (const auto& o : origins) {
    EXPECT_EQ(assoc_save_command(list, o.ext, o.command, o.origin), o.ok) << o.ext;
    char* c = assoc_saved_command(list, o.ext);
    char* origin = assoc_saved_origin(list, o.ext);
    EXPECT_STREQ(c, o.ok ? o.command : nullptr) << o.ext;
    EXPECT_STREQ(origin, o.ok ? o.origin : nullptr) << o.ext;
    std::free(c);
    std::free(origin);
  }
  char* old = assoc_saved_origin(list, ".c");  // a line of an older list
  EXPECT_EQ(old, nullptr);
  text_free(list);
}

TEST(AssocDialogs, RefusalsAndExtensions) {
  for (const char* e : {".bat", "bat", ".VBS", "js"}) EXPECT_TRUE(assoc_refused(e)) << e;
  for (const char* e : {".txt", ".jsx", "batch"}) EXPECT_FALSE(assoc_refused(e)) << e;
  Text* ext = assoc_extension("bat");
  EXPECT_STREQ(text_cstr(ext), ".bat");
  text_free(ext);
  EXPECT_EQ(assoc_extension("."), nullptr);
  // The ProgId by the system's major version: "zq_" up to 5 (before Vista), "text_" above and
  // when the version is unknown (0).
  struct {
    int major;
    const char* ext;
    const char* prog;
  } progs[] = {{-1, ".txt", "text_txtfile"}, {0, "c", "text_cfile"},
               {4, ".h", "zq_hfile"},        {5, ".txt", "zq_txtfile"},
               {6, ".txt", "text_txtfile"},  {10, ".cpp", "text_cppfile"}};
  for (const auto& p : progs) {
    assoc_set_os_version(p.major);
    Text* prog = assoc_prog_id(p.ext);
    EXPECT_STREQ(text_cstr(prog), p.prog) << p.major;
    text_free(prog);
  }
  assoc_set_os_version(-1);
  // The extension table's rows name their extension by a PackedId.
  for (const SetupExtension& row : setup_extensions) {
    char id[8];
    Text* e = assoc_extension_of(row.ext);
    EXPECT_EQ(std::string(text_cstr(e)), std::string(".") + lower_ascii(id_unpack(row.ext, id)));
    text_free(e);
  }
  EXPECT_EQ(assoc_extension_of(0), nullptr);
}

// ---- uninstall ----

TEST_F(EngineTest, DeleteMatchingByFlags) {
  const uint64_t sample = pak_sample_time().ticks;
  fs::path s = root / "f";
  put(s / "a.c", "x");
  put(s / "b.h", "x");
  put(s / "sample" / "kept.txt", "changed by the user");
  put(s / "sample" / "old.txt", "as installed");
  put(s / "sample" / "any.txp", "x");
  FileHandle h = file_open_read((s / "sample" / "old.txt").string().c_str(), FSYS_WRITE, 0, 0);
  ASSERT_NE(h, FILE_INVALID);
  file_set_time(h, FileTime{sample});
  file_close(h);
  // The tolerance is two seconds: a second late is still the installation's stamp, a minute
  // late is the user's change.
  const struct {
    const char* name;
    int64_t seconds;  // after the sample time
    bool deleted;
  } stamps[] = {{"late1s.txt", 1, true}, {"late60s.txt", 60, false}, {"early1s.txt", -1, true}};
  for (const auto& r : stamps) {
    put(s / "sample" / r.name, "as installed");
    FileHandle t = file_open_read((s / "sample" / r.name).string().c_str(), FSYS_WRITE, 0, 0);
    ASSERT_NE(t, FILE_INVALID);
    file_set_time(t, FileTime{sample + (uint64_t)(r.seconds * FILETIME_TICKS_PER_SECOND)});
    file_close(t);
  }
  put(s / "texts" / "one" / "x.txt", "x");
  put(s / "texts" / "top.txt", "x");
  EXPECT_EQ(delete_matching(s.string().c_str(), "*.c", DELETE_FILES), 1);
  EXPECT_TRUE(fs::exists(s / "b.h"));
  EXPECT_EQ(delete_matching(s.string().c_str(), "sample\\*.*", DELETE_SAMPLES), 4);
  EXPECT_TRUE(fs::exists(s / "sample" / "kept.txt"));
  EXPECT_FALSE(fs::exists(s / "sample" / "old.txt"));
  for (const auto& r : stamps) EXPECT_EQ(fs::exists(s / "sample" / r.name), !r.deleted) << r.name;
  // The folder stays with the changed sample in it, the line logged all the same.
  EXPECT_NE(norm(g_log).find(norm("rmdir: " + (s / "sample").string() + "\n")), std::string::npos)
      << g_log;
  EXPECT_NE(norm(g_log).find(norm("del: " + (s / "a.c").string() + "\n")), std::string::npos);
  EXPECT_EQ(delete_matching(s.string().c_str(), "texts\\*.*", DELETE_TREE), 2);
  EXPECT_FALSE(fs::exists(s / "texts"));
}

TEST(UninstallGuardTest, RefusesFoldersThatAreNotAnInstallation) {
  fs::path base = fs::temp_directory_path() / "zqeng_guard";
  fs::remove_all(base);
  std::string b = base.string();
  std::string users = b + "/Users", me = users + "/me", desk = me + "/Desktop",
              docs = me + "/Documents", win = b + "/Windows", pf = b + "/Program Files",
              roaming = me + "/AppData/Roaming";
  UninstallGuard g = {users.c_str(), me.c_str(), desk.c_str(),    docs.c_str(), win.c_str(),
                      pf.c_str(),    nullptr,    roaming.c_str(), nullptr,      nullptr};
  // Every row but the half-made one holds the marker files, so that each refusal is the
  // folder's own rule and not the last "not an installation" one.
  const std::string none = "", not_inst = "ZQのインストール先ではありません";
  struct {
    std::string folder;
    std::string why;  // a part of the refusal; empty: accepted
  } rows[] = {{b + "/inst", none},
              {b + "/inst/", none},
              {b + "/inst/sub/..", none},
              {b + "/half", not_inst},
              {b + "/nothing", not_inst},
              {users, "ユーザのプロファイルの親フォルダです"},
              {me, "ユーザのプロファイルフォルダです"},
              {users + "/other", "ユーザのプロファイルフォルダです"},
              {desk + "/", "デスクトップのフォルダです"},
              {docs, "ドキュメントのフォルダです"},
              {roaming, "アプリケーションデータのフォルダです"},
              {me + "/AppData/../AppData/Roaming", "アプリケーションデータのフォルダです"},
              {pf, "Program Filesのフォルダそのものです"},
              {win, "Windowsのフォルダです"},
              {win + "/System32", "Windowsのフォルダです"},
              {"C:\\", "ドライブのルートです"},
              {"relative", "絶対パスではありません"},
              {b + "/" + std::string(230, 'x'), "パスが長すぎます"},
              {"", "フォルダが指定されていません"}};
  for (const auto& r : rows) {
    if (r.why != not_inst && r.folder.rfind(b, 0) == 0 && r.folder.size() < 200) {
      put(fs::path(r.folder) / "idsystem.sys", "");
      put(fs::path(r.folder) / "zqsetup.exe", "");
    }
  }
  put(base / "half" / "zqsetup.exe", "");
  for (const auto& r : rows) {
    const char* why = uninstall_refusal(r.folder.c_str(), &g);
    if (r.why.empty())
      EXPECT_EQ(why, nullptr) << r.folder << ": " << why;
    else
      EXPECT_NE(std::string(why ? why : "").find(r.why), std::string::npos)
          << r.folder << ": " << (why ? why : "accepted");
  }
  fs::remove_all(base);
}

TEST_F(EngineTest, UninstallRefusesAFolderOfTheUsersOwnFiles) {
  fs::path own = root / "mine";
  for (const char* n : {"main.c", "util.h", "tool.exe", "sample.txt", "notes.sys"}) put(own / n, n);
  path_set_program_path((own / "zqsetup.exe").string().c_str());
  EXPECT_FALSE(uninstall_run(rec));
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_NE(norm(g_boxes[0]).find(norm(own.string())), std::string::npos) << g_boxes[0];
  for (const char* n : {"main.c", "util.h", "tool.exe", "sample.txt", "notes.sys"})
    EXPECT_EQ(get(own / n), n);
  EXPECT_EQ(g_log.find("del: "), std::string::npos);
}

}  // namespace

// ---- what the uninstall may prove ----

namespace {

// Every destination of every entry of the package, relative to the installation folder.
std::vector<std::string> product_files(const std::map<std::string, Entry>& entries) {
  std::vector<std::string> out = {"idsystem.sys", "idtemp.sys", MANIFEST_NAME};
  for (const auto& e : entries) {
    PakDestination dest[2];
    int n = pak_destinations(e.first.c_str(), dest);
    for (int k = 0; k < n; ++k) {
      std::string f = dest[k].folder;
      for (char& c : f)
        if (c == '\\') c = '/';
      out.push_back(f + e.first);
    }
  }
  return out;
}

}  // namespace

// A folder of the user's own files, installed into and uninstalled: each of the user's files
// stays byte for byte, each product file and temporary goes, and links inside the installation
// are left as they are with what they point to untouched.
TEST_F(EngineTest, UninstallKeepsTheUsersFilesAndFollowsNoLink) {
  const std::map<std::string, std::string> own = {{"mytool.exe", "my tool"},
                                                  {"notes.h", "my notes"},
                                                  {"main.c", "int main;"},
                                                  {"build.log", "log"},
                                                  {"app.cfg", "cfg"},
                                                  {"readme.txt", "my readme"},
                                                  {"data.sys", "data"},
                                                  {"keys.key", "keys"},
                                                  {"list.lst", "list"},
                                                  {"sample/mine.txt", "my sample"},
                                                  {"draft.zq~mine", "not a temporary of ours"}};
  for (const auto& f : own) put(dest / f.first, f.second);
  fs::path elsewhere = root / "elsewhere";
  const std::map<std::string, std::string> far = {
      {"a.sys", "a"}, {"b.c", "b"}, {"c.log", "c"}, {"d.key", "d"}, {"e.lst", "e"}};
  for (const auto& f : far) put(elsewhere / f.first, f.second);
  // Asked first: declined, nothing is written; accepted, the installation goes in among them.
  g_answer = NOTIFY_NO;
  EXPECT_FALSE(pak_install(rec, &block));
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_NE(norm(g_boxes[0]).find(norm(dest.string())), std::string::npos) << g_boxes[0];
  size_t count = 0;
  for (auto& p : fs::recursive_directory_iterator(dest)) count += p.is_regular_file();
  EXPECT_EQ(count, own.size());
  g_answer = NOTIFY_YES;
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  EXPECT_EQ(g_boxes.size(), 2u);
  // Links made inside the installation afterwards, to a folder of other files and to one file.
  const char* links[] = {"autosave.mbx", "texts", "gene.mbx", "link.c"};
  Links made;
  ASSERT_TRUE(made.make(elsewhere, dest / "autosave.mbx"));
  ASSERT_TRUE(made.make(elsewhere, dest / "texts"));
  ASSERT_TRUE(made.make(elsewhere, dest / "gene.mbx"));
  ASSERT_TRUE(made.make(elsewhere / "b.c", dest / "link.c"));
  // What a broken installation left behind.
  put(dest / "zq9.txt.zq~3", "half");
  put(dest / "sample" / "pic.png.zq~1", "half");
  if (!fs::exists(dest / "zqsetup.exe")) put(dest / "zqsetup.exe", "the uninstall");
  path_set_program_path((dest / "zqsetup.exe").string().c_str());
  int code = -1;
  ASSERT_TRUE(uninstall_run(rec, &code)) << g_log;
  EXPECT_EQ(code, SETUP_EXIT_OK);
  for (const auto& f : own) EXPECT_EQ(get(dest / f.first), f.second) << f.first;
  for (const auto& f : far) EXPECT_EQ(get(elsewhere / f.first), f.second) << f.first;
  for (const char* l : links) {  // Wine shows a link to a file as the file: it may go, as a link
    if (l != std::string("link.c") || links_to_files_reported()) {
      EXPECT_TRUE(file_is_link((dest / l).string().c_str())) << l;
    }
  }
  for (const std::string& f : product_files(entries)) {
    if (f != "zqsetup.exe") {
      EXPECT_FALSE(fs::exists(dest / f)) << f;
    }
  }
  EXPECT_FALSE(leftovers(dest));
  EXPECT_NE(norm(g_log).find(norm("keep: " + (dest / "mytool.exe").string() + "\n")),
            std::string::npos)
      << g_log;
  EXPECT_EQ(norm(g_log).find(norm("del: " + (elsewhere).string())), std::string::npos);
}

// An overwrite keeps the earlier installation's folders the product's; an installation without
// a manifest is taken as the package's entries at their destinations, and nothing else.
TEST_F(EngineTest, OverwriteCarriesItsFoldersAndNoManifestMeansThePackagesNames) {
  const struct {
    bool drop_manifest;
    bool later_deleted;  // a file put into the created folder after the installation
  } rows[] = {{false, true}, {true, false}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.drop_manifest);
    fs::remove_all(dest);
    ASSERT_TRUE(pak_install(rec, &block)) << g_log;
    ASSERT_TRUE(pak_install(rec, &block)) << g_log;  // the overwrite
    EXPECT_NE(get(dest / MANIFEST_NAME).find("D\t.\r\n"), std::string::npos)
        << get(dest / MANIFEST_NAME);
    put(dest / "later.c", "later");  // a name of the product's list
    if (r.drop_manifest) {
      fs::remove(dest / MANIFEST_NAME);
      put(dest / "_zq64_.pak", std::string(pak.begin(), pak.end()));
    }
    if (!fs::exists(dest / "zqsetup.exe")) put(dest / "zqsetup.exe", "the uninstall");
    // Links in the folder the installation made lead to files it did not make.
    fs::path elsewhere = root / "elsewhere";
    for (const char* f : {"a.sys", "b.c", "c.log"}) put(elsewhere / f, f);
    Links links;
    ASSERT_TRUE(links.make(elsewhere, dest / "autosave.mbx"));
    ASSERT_TRUE(links.make(elsewhere, dest / "texts"));
    path_set_program_path((dest / "zqsetup.exe").string().c_str());
    ASSERT_TRUE(uninstall_run(rec)) << g_log;
    for (const char* f : {"a.sys", "b.c", "c.log"}) EXPECT_EQ(get(elsewhere / f), f) << f;
    links.remove();
    EXPECT_EQ(fs::exists(dest / "later.c"), !r.later_deleted);
    for (const std::string& f : product_files(entries)) {
      if (f != "zqsetup.exe") {
        EXPECT_FALSE(fs::exists(dest / f)) << f;
      }
    }
    EXPECT_FALSE(fs::exists(dest / "sample"));
  }
}

// Each user's settings folder is written only when nothing on its path from the profile is a
// link: a user who points it elsewhere gets nothing written there.
TEST(UserPaths, ALinkAnywhereBelowTheProfileSkipsThatUser) {
  fs::path base = fs::temp_directory_path() / "zqeng_users";
  fs::remove_all(base);
  fs::path users = base / "Users", target = base / "target";
  put(target / "idsystem.sys", "OTHER: 1\r\n");
  const std::string tail = "AppData/Roaming/VODudeduva/ZQ9xcom";
  fs::create_directories(users / "plain" / tail);
  fs::create_directories(users / "app" / "AppData" / "Roaming");
  fs::create_directories(users / "vendor" / "AppData" / "Roaming" / "VODudeduva");
  fs::create_directories(users / "roaming" / "AppData");
  fs::create_directories(users / "whole");
  struct {
    const char* user;
    const char* linked;  // the folder below the profile made a link; null: none
    bool skipped;
  } rows[] = {{"plain", nullptr, false},
              {"app", "AppData/Roaming/VODudeduva", true},
              {"vendor", "AppData/Roaming/VODudeduva/ZQ9xcom", true},
              {"roaming", "AppData/Roaming", true},
              {"whole", nullptr, true}};
  fs::remove(users / "whole");
  {
    Links links;
    ASSERT_TRUE(links.make(target, users / "app" / "AppData" / "Roaming" / "VODudeduva"));
    ASSERT_TRUE(links.make(target, users / "vendor" / "AppData/Roaming/VODudeduva/ZQ9xcom"));
    ASSERT_TRUE(links.make(target, users / "roaming" / "AppData" / "Roaming"));
    ASSERT_TRUE(links.make(users / "plain", users / "whole"));
    for (const auto& r : rows) {
      std::string path = (users / r.user / tail / "idsystem.sys").string();
      EXPECT_EQ(user_path_has_link(path.c_str(), users.string().c_str()), r.skipped) << r.user;
    }
    // Outside the profiles folder nothing vouches for a path.
    EXPECT_TRUE(user_path_has_link((base / "x" / "y").string().c_str(), users.string().c_str()));
  }
  fs::remove_all(base);
}

#ifndef _WIN32
// While a program runs from the installation nothing is removed or unregistered, and the exit
// code says why.
TEST_F(EngineTest, UninstallRefusesWhileAProgramRunsFromTheInstallation) {
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  if (!fs::exists(dest / "zqsetup.exe")) put(dest / "zqsetup.exe", "the uninstall");
  fs::copy_file("/bin/sleep", dest / "runner");
  std::string runner = (dest / "runner").string();
  pid_t pid = fork();
  if (pid == 0) {
    execl(runner.c_str(), "runner", "30", (char*)nullptr);
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  for (int k = 0; k < 200; ++k) {  // until the child runs the copy
    char exe[4096] = {};
    if (readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), exe, sizeof exe - 1) > 0 &&
        runner == exe)
      break;
    usleep(10000);
  }
  path_set_program_path((dest / "zqsetup.exe").string().c_str());
  int code = -1;
  EXPECT_FALSE(uninstall_run(rec, &code));
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(code, SETUP_EXIT_RUNNING);
  EXPECT_NE(norm(g_boxes.empty() ? g_log : g_boxes[0]).find(norm(runner)), std::string::npos)
      << g_log;
  EXPECT_EQ(g_log.find("del: "), std::string::npos) << g_log;
  for (const std::string& f : product_files(entries)) EXPECT_TRUE(fs::exists(dest / f)) << f;
}
#endif
