// The engine's portable side, natively: an installation's files and times from a package made by
// the writer, the per-user settings keys, the walk modes, the previous-command lists, and the
// uninstall's deletions with its safety check.

#include <gtest/gtest.h>

#include "core/format.h"
#include "setup/assoc.h"
#include "setup/install/engine_fixture.h"
#include "setup/uninstall.h"

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
    setup_set_silent(silent);
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
  text_free(list);
}

TEST(AssocDialogs, RefusalsAndExtensions) {
  for (const char* e : {".bat", "bat", ".VBS", "js"}) EXPECT_TRUE(assoc_refused(e)) << e;
  for (const char* e : {".txt", ".jsx", "batch"}) EXPECT_FALSE(assoc_refused(e)) << e;
  Text* ext = assoc_extension("bat");
  EXPECT_STREQ(text_cstr(ext), ".bat");
  text_free(ext);
  EXPECT_EQ(assoc_extension("."), nullptr);
  Text* prog = assoc_prog_id(".txt");
  EXPECT_STREQ(text_cstr(prog), "text_txtfile");
  text_free(prog);
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
  put(s / "texts" / "one" / "x.txt", "x");
  put(s / "texts" / "top.txt", "x");
  EXPECT_EQ(delete_matching(s.string().c_str(), "*.c", DELETE_FILES), 1);
  EXPECT_TRUE(fs::exists(s / "b.h"));
  EXPECT_EQ(delete_matching(s.string().c_str(), "sample\\*.*", DELETE_SAMPLES), 2);
  EXPECT_TRUE(fs::exists(s / "sample" / "kept.txt"));
  EXPECT_FALSE(fs::exists(s / "sample" / "old.txt"));
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
  put(base / "inst" / "idsystem.sys", "");
  put(base / "inst" / "zqsetup.exe", "");
  put(base / "half" / "zqsetup.exe", "");
  std::string b = base.string();
  std::string users = b + "/Users", me = users + "/me";
  UninstallGuard g = {users.c_str(), me.c_str(), (me + "/Desktop").c_str(),
                      nullptr,       nullptr,    (b + "/Program Files").c_str()};
  std::string desk = me + "/Desktop", pf = b + "/Program Files";
  g.desktop = desk.c_str();
  g.program_files = pf.c_str();
  struct {
    std::string folder;
    bool refused;
  } rows[] = {{b + "/inst", false},
              {b + "/inst/", false},
              {b + "/half", true},
              {b + "/nothing", true},
              {users, true},
              {me, true},
              {users + "/other", true},
              {desk + "/", true},
              {pf, true},
              {"C:\\", true},
              {"", true}};
  for (const auto& r : rows)
    EXPECT_EQ(uninstall_refusal(r.folder.c_str(), &g) != nullptr, r.refused) << r.folder;
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
