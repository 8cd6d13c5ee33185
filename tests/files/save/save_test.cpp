// Saving: whole and region saves that never lose the old file, held handles, the
// write-back on release, backups with their names and limit, and the character check.

#include "files/save.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/format.h"
#include "files/access/fixture.h"
#include "files/file_fault.h"

using namespace files_test;

namespace {

// The three bytes that carry a UTF-16 unit in the internal text.
std::string escape(uint16_t u) {
  std::string s;
  s += (char)(u >= 0x8000 ? 0xA0 : 0x80);
  s += (char)(0x40 + (u & 0x7FFF) / 188);
  s += (char)(0x40 + (u & 0x7FFF) % 188);
  return s;
}

class Save : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    backup_set_settings(0);
    backup_set_dir(nullptr);
    save_char_set_dialog(nullptr);
    save_char_set_choice(ID("JUMP"));
  }
  void TearDown() override {
    backup_set_settings(0);
    backup_set_dir(nullptr);
    save_char_set_dialog(nullptr);
    FilesTest::TearDown();
  }
  // Loads a file into a new Text and changes its contents.
  Text* loaded(const std::string& path, unsigned mode, const std::string& now) {
    Text* t = text_new();
    EXPECT_TRUE(text_load(t, path.c_str(), mode));
    text_clear(t);
    text_insert(t, now.data(), TI_RAW, (int64_t)now.size());
    return t;
  }
  bool shown(const char* message) {
    auto& v = Messages::status();
    return std::find(v.begin(), v.end(), message) != v.end();
  }
  static void mode(int m) { backup_set_settings((uint8_t)(m << 3)); }
};

TEST_F(Save, SaveToWritesBothSidesOfTheGap) {
  TextOwner t(text_of("hello world"));
  text_seek(t, 5);
  text_insert(t, ",", TI_RAW, 1);  // the gap now sits inside the text
  ASSERT_GT(t.t->gap_end, t.t->gap_start);
  EXPECT_TRUE(text_save_to(t, at("o.txt").c_str()));
  EXPECT_EQ(read_file(at("o.txt")), "hello, world");
  EXPECT_EQ(t.t->file_name, nullptr);  // the binding does not change
  EXPECT_EQ(list_folder(dir), std::vector<std::string>{"o.txt"});
  EXPECT_EQ(file_open_count(), open_handles);

  TextOwner empty;
  EXPECT_TRUE(text_save_to(empty, at("o.txt").c_str()));
  EXPECT_EQ(read_file(at("o.txt")), "");
  EXPECT_FALSE(text_save_to(nullptr, at("o.txt").c_str()));
  EXPECT_FALSE(text_save_to(t, nullptr));
  EXPECT_FALSE(text_save_to(t, ""));
}

TEST_F(Save, WriteHandleRanges) {
  TextOwner t(text_of("abcdef"));
  text_seek(t, 3);
  text_insert(t, "XY", TI_RAW, 2);  // "abcXYdef", gap after XY
  FileHandle h = file_create(at("r.txt").c_str(), FSYS_WRITE, 0, 0);
  EXPECT_TRUE(text_write_handle(t, h, 1, 7));
  EXPECT_TRUE(text_write_handle(t, h, 4, 4));
  EXPECT_TRUE(text_write_handle(t, h, 6, -1));
  file_close(h);
  EXPECT_EQ(read_file(at("r.txt")), "bcXYdeef");
  EXPECT_FALSE(text_write_handle(t, FILE_INVALID, 0, 1));
}

// The sound save: a failure anywhere leaves the old file as it was, and no stray file behind.
TEST_F(Save, FailedWriteKeepsTheOldFile) {
  std::string p = at("keep.txt");
  ASSERT_TRUE(write_file(p, "the only good copy"));
  TextOwner t(text_of("new contents that never arrive"));
  file_fail_write_after(0);
  EXPECT_FALSE(text_save_to(t, p.c_str()));
  EXPECT_EQ(read_file(p), "the only good copy");
  EXPECT_EQ(list_folder(dir), std::vector<std::string>{"keep.txt"});
  EXPECT_EQ(file_open_count(), open_handles);

  // Through text_save as well, with the failure on the status line and the Text still modified.
  TextOwner u(loaded(p, 0, "changed"));
  file_fail_write_after(0);
  EXPECT_FALSE(text_save(u));
  EXPECT_EQ(read_file(p), "the only good copy");
  EXPECT_TRUE(u.t->flags & TX_MODIFIED);
  EXPECT_TRUE(shown("保存に失敗しました"));
  EXPECT_EQ(list_folder(dir), std::vector<std::string>{"keep.txt"});
  EXPECT_TRUE(text_save(u));
  EXPECT_EQ(read_file(p), "changed");
}

TEST_F(Save, ReplaceKeepsAReadOnlyTargetAndItsFolder) {
  std::string p = at("ro.txt");
  ASSERT_TRUE(write_file(p, "protected"));
  ASSERT_TRUE(file_set_attributes(p.c_str(), FSYS_ATTR_READONLY));
  TextOwner t(text_of("overwrite"));
  EXPECT_FALSE(text_save_to(t, p.c_str()));
  EXPECT_EQ(read_file(p), "protected");
  EXPECT_EQ(list_folder(dir), std::vector<std::string>{"ro.txt"});
  // A folder that does not exist: nothing is created anywhere.
  EXPECT_FALSE(text_save_to(t, at("no\\such\\x.txt").c_str()));
  EXPECT_EQ(list_folder(dir), std::vector<std::string>{"ro.txt"});
}

#ifdef _WIN32
// The replace keeps what the old file carried beside its bytes.
TEST_F(Save, ReplaceKeepsTheTargetsAttributes) {
  std::string p = at("hidden.txt");
  ASSERT_TRUE(write_file(p, "one"));
  ASSERT_TRUE(file_set_attributes(p.c_str(), FSYS_ATTR_HIDDEN));
  TextOwner t(text_of("two"));
  EXPECT_TRUE(text_save_to(t, p.c_str()));
  EXPECT_EQ(read_file(p), "two");
  FileFindData d;
  ASSERT_TRUE(file_find_data(p.c_str(), &d));
  EXPECT_TRUE(d.attributes & FSYS_ATTR_HIDDEN);
}
#endif

TEST_F(Save, SaveBoundText) {
  std::string p = at("b.txt");
  ASSERT_TRUE(write_file(p, "one"));
  TextOwner t(loaded(p, 0, "two"));
  EXPECT_TRUE(text_save(t));
  EXPECT_EQ(read_file(p), "two");
  EXPECT_FALSE(t.t->flags & TX_MODIFIED);
  FileFindData d;
  ASSERT_TRUE(file_find_data(p.c_str(), &d));
  EXPECT_EQ(text_file(t)->written.ticks, d.written.ticks);
  // Unmodified: counts as saved and writes nothing.
  ASSERT_TRUE(write_file(p, "someone else"));
  EXPECT_TRUE(text_save(t));
  EXPECT_EQ(read_file(p), "someone else");
  // A new file (bound, not yet existing) is created.
  TextOwner n(loaded(at("n.txt"), 0, "fresh"));
  EXPECT_TRUE(text_file(n)->flags & TF_NEW);
  EXPECT_TRUE(text_save(n));
  EXPECT_EQ(read_file(at("n.txt")), "fresh");
  EXPECT_FALSE(text_file(n)->flags & TF_NEW);
  // Without a view nothing but failures reach the status line.
  EXPECT_FALSE(shown("保存しました"));
  TextOwner unbound(text_of("x"));
  EXPECT_FALSE(text_save(unbound));
}

TEST_F(Save, HeldHandleIsOpenedAgain) {
  std::string p = at("h.txt");
  ASSERT_TRUE(write_file(p, "locked"));
  TextOwner t(loaded(p, 1, "saved while locked"));
  ASSERT_NE(t.t->file_handle, nullptr);
  EXPECT_TRUE(text_save(t));
  EXPECT_EQ(read_file(p), "saved while locked");
  EXPECT_NE(t.t->file_handle, nullptr);
  EXPECT_EQ(file_open_count(), open_handles + 1);
#ifdef _WIN32
  EXPECT_EQ(file_open_read(p.c_str(), FSYS_WRITE, FSYS_SHARE_READ | FSYS_SHARE_WRITE, 0),
            FILE_INVALID);
#endif
}

TEST_F(Save, HeldFileIsWrittenBackOnRelease) {
  std::string p = at("w.txt");
  ASSERT_TRUE(write_file(p, "before"));
  Text* t = loaded(p, 1, "after release");
  text_free(t);
  EXPECT_EQ(read_file(p), "after release");
  EXPECT_EQ(file_open_count(), open_handles);
  // Save on release, without a held handle.
  std::string q = at("s.txt");
  ASSERT_TRUE(write_file(q, "old"));
  Text* u = loaded(q, 0, "saved on release");
  text_set_save_on_free(u, true);
  text_free(u);
  EXPECT_EQ(read_file(q), "saved on release");
}

TEST_F(Save, RegionGrowsAndShrinks) {
  std::string p = at("region.txt");
  ASSERT_TRUE(write_file(p, "HEAD[region]TAIL-END"));
  TextOwner t;
  ASSERT_TRUE(text_set_region(t, 4, 8));
  ASSERT_TRUE(text_load(t, p.c_str(), 0));
  ASSERT_EQ(str(t), "[region]");
  text_bottom(t);
  text_insert(t, "0123456789", TI_RAW, 10);  // grew by 10 bytes
  EXPECT_TRUE(text_save(t));
  EXPECT_EQ(read_file(p), "HEAD[region]0123456789TAIL-END");
  EXPECT_EQ(text_file(t)->region_length, 18);
  text_clear(t);
  text_insert(t, "<r>", TI_RAW, 3);
  EXPECT_TRUE(text_save(t));
  EXPECT_EQ(read_file(p), "HEAD<r>TAIL-END");
  EXPECT_EQ(text_file(t)->region_length, 3);
  EXPECT_EQ(file_open_count(), open_handles);
}

TEST_F(Save, HeldRegionIsWrittenBackIntoItsPlace) {
  std::string p = at("region.txt");
  ASSERT_TRUE(write_file(p, "HEAD[region]TAIL"));
  Text* t = text_new();
  ASSERT_TRUE(text_set_region(t, 4, 8));
  ASSERT_TRUE(text_load(t, p.c_str(), 1));
  ASSERT_NE(t->file_handle, nullptr);
  text_clear(t);
  text_insert(t, "<new one>", TI_RAW, 9);
  text_free(t);
  EXPECT_EQ(read_file(p), "HEAD<new one>TAIL");
  EXPECT_EQ(file_open_count(), open_handles);
}

TEST_F(Save, FailedRegionSaveKeepsTheOldFile) {
  // A failure in any of the three writes (before, region, after) or, last, a read-only target.
  std::string p = at("region.txt");
  for (int fail : {0, 1, 2, -1}) {
    ASSERT_TRUE(write_file(p, "HEAD[region]TAIL-END"));
    TextOwner t;
    ASSERT_TRUE(text_set_region(t, 4, 8));
    ASSERT_TRUE(text_load(t, p.c_str(), 0));
    text_insert(t, "0123456789", TI_RAW, 10);
    ASSERT_TRUE(fail >= 0 || file_set_attributes(p.c_str(), FSYS_ATTR_READONLY));
    file_fail_write_after(fail);
    EXPECT_FALSE(text_save(t)) << fail;
    EXPECT_EQ(read_file(p), "HEAD[region]TAIL-END") << fail;
    EXPECT_EQ(list_folder(dir), std::vector<std::string>{"region.txt"});
    EXPECT_EQ(text_file(t)->region_length, 8);
    EXPECT_EQ(file_open_count(), open_handles);
  }
  file_set_attributes(p.c_str(), 0);
}

TEST_F(Save, DocumentHandlerTakesTheSave) {
  static std::vector<PackedId> seen;
  seen.clear();
  TextOwner t(text_of("x"));
  t.t->command = [](Text*, PackedId cmd, intptr_t, uint32_t) -> intptr_t {
    seen.push_back(cmd);
    return cmd != ID("SAVETO");
  };
  t.t->command_kind = TX_CMD_CALL;
  EXPECT_TRUE(text_save(t));
  EXPECT_FALSE(text_save_to(t, at("x.txt").c_str()));
  EXPECT_EQ(seen, (std::vector<PackedId>{ID("SAVE"), ID("SAVED"), ID("SAVETO"), ID("SAVED")}));
  EXPECT_FALSE(file_find_data(at("x.txt").c_str(), nullptr));
  t.t->command = nullptr;
  t.t->command_kind = 0;
}

// ---- backups ----

TEST_F(Save, BackupNamesOfModesTwoAndTen) {
  std::string p = at("doc.txt");
  ASSERT_TRUE(write_file(p, "v1"));
  TextOwner t(loaded(p, 0, "v2"));
  text_file(t)->flags |= TF_DOCUMENT;
  mode(2);
  EXPECT_TRUE(text_save(t));
  EXPECT_EQ(read_file(at("doc.bak")), "v1");
  mode(10);
  text_insert(t, "+", TI_RAW, 1);
  EXPECT_TRUE(text_save(t));
  EXPECT_EQ(read_file(at("doc.txt.bak")), "v2");
  EXPECT_EQ(read_file(p), "v2+");
  mode(0);
  EXPECT_FALSE(backup_make(t));
  // A mode whose name is the file's own, in the same folder, would copy the file onto itself.
  mode(4);
  EXPECT_FALSE(backup_make(t));
  EXPECT_EQ(read_file(p), "v2+");
}

TEST_F(Save, BackupIntoTheBackupFolder) {
  std::string p = at("doc.txt");
  ASSERT_TRUE(write_file(p, "v1"));
  TextOwner t(loaded(p, 0, "v2"));
  backup_set_dir("old\\copies");  // relative to the file's folder
  mode(3);                        // bit 0, the file's own name
  EXPECT_TRUE(backup_make(t));
  EXPECT_EQ(read_file(at("old\\copies\\doc.txt")), "v1");
  TextOwner folder(text_of(p));
  EXPECT_TRUE(backup_folder(folder));
  EXPECT_EQ(str(folder), at("old\\copies"));
  backup_set_dir(at("abs").c_str());
  EXPECT_TRUE(backup_make(t));
  EXPECT_EQ(read_file(at("abs\\doc.txt")), "v1");
}

#ifdef _WIN32
TEST_F(Save, BackupFolderFallsBackToTheDriveRoot) {
  std::string p = at("doc.txt");
  ASSERT_TRUE(write_file(p, "v1"));
  ASSERT_TRUE(write_file(at("blocker"), "a file where a folder should go"));
  TextOwner root(text_of(p));
  path_root(root);
  std::string bak = str(root) + "\\bak";
  bool had_bak = file_is_folder(bak.c_str());
  backup_set_dir(at("blocker\\sub").c_str());  // cannot be created
  TextOwner folder(text_of(p));
  EXPECT_TRUE(backup_folder(folder));
  EXPECT_EQ(str(folder), bak);
  backup_set_dir(nullptr);
  TextOwner again(text_of(p));
  EXPECT_TRUE(backup_folder(again));
  EXPECT_EQ(str(again), bak);
  EXPECT_TRUE(file_is_folder(bak.c_str()));
  if (!had_bak) folder_remove(bak.c_str());
}
#endif

class StampedBackups : public Save {
 protected:
  std::string p;
  FileTime t0{133500000000000000ull};  // a fixed last-write time (2024)
  void SetUp() override {
    Save::SetUp();
    p = at("notes.txt");
    ASSERT_TRUE(write_file(p, "v0"));
    backup_set_dir("bk");
    mode(5);
  }
  std::string stamp(FileTime t) {
    CalendarTime c{};
    filetime_to_local(t, &c);
    char buf[40];
    std::snprintf(buf, sizeof buf, "notes_%04d%02d%02d_%02d%02d%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    return buf;
  }
  std::vector<std::string> backups() {
    auto v = list_folder(at("bk"));
    std::sort(v.begin(), v.end());
    return v;
  }
};

TEST_F(StampedBackups, SameSecondGetsTildeNumbers) {
  TextOwner t(loaded(p, 0, "v1"));
  text_file(t)->written = t0;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(backup_make(t)) << i;
  std::string s = stamp(t0);
  EXPECT_EQ(backups(), (std::vector<std::string>{s + ".txt", s + "~1.txt", s + "~2.txt"}));
  EXPECT_EQ(read_file(at("bk\\" + s + "~2.txt")), "v0");
}

TEST_F(StampedBackups, KeepsTheNewestHundredAndOne) {
  // 103 older backups, each a minute apart.
  std::vector<std::string> names;
  for (int i = 0; i < 103; ++i) {
    FileTime w{t0.ticks - (uint64_t)(200 - i) * 60 * 10000000ull};
    std::string n = stamp(w) + ".txt";
    ASSERT_TRUE(folder_create_all(at("bk").c_str()));
    ASSERT_TRUE(write_file(at("bk\\" + n), "old"));
    FileHandle h = file_open_read(at("bk\\" + n).c_str(), FSYS_WRITE, 0, 0);
    ASSERT_TRUE(file_set_time(h, w));
    file_close(h);
    names.push_back(n);
  }
  ASSERT_TRUE(write_file(at("bk\\unrelated.txt"), "stays"));
  ASSERT_TRUE(write_file(at("bk\\notes_2024.txt"), "stays too"));
  TextOwner t(loaded(p, 0, "v1"));
  text_file(t)->written = t0;
  EXPECT_TRUE(backup_make(t));
  auto left = backups();
  EXPECT_EQ(left.size(), 101u + 1u + 2u);
  EXPECT_EQ(std::count(left.begin(), left.end(), names[0]), 0);
  EXPECT_EQ(std::count(left.begin(), left.end(), names[1]), 0);
  for (int i = 2; i < 103; ++i) EXPECT_EQ(std::count(left.begin(), left.end(), names[i]), 1);
  EXPECT_EQ(std::count(left.begin(), left.end(), stamp(t0) + ".txt"), 1);
  EXPECT_EQ(read_file(at("bk\\unrelated.txt")), "stays");
}

TEST_F(StampedBackups, HeldHandleIsReadForTheBackupAndItsTimeKept) {
  TextOwner t(loaded(p, 1, "v1"));
  ASSERT_NE(t.t->file_handle, nullptr);
  text_file(t)->written = t0;
  EXPECT_TRUE(backup_make(t));
  std::string b = at("bk\\" + stamp(t0) + ".txt");
  EXPECT_EQ(read_file(b), "v0");
  FileFindData d;
  ASSERT_TRUE(file_find_data(b.c_str(), &d));
  EXPECT_EQ(d.written.ticks / 10000000, t0.ticks / 10000000);
  // A region Text gets no time-stamped backup.
  TextOwner r;
  ASSERT_TRUE(text_set_region(r, 0, 1));
  ASSERT_TRUE(text_load(r, p.c_str(), 0));
  EXPECT_FALSE(backup_make(r));
}

TEST_F(Save, FailedBackupIsReportedAndTheSaveGoesOn) {
  std::string p = at("doc.txt");
  ASSERT_TRUE(write_file(p, "v1"));
  ASSERT_TRUE(folder_create(at("doc.bak").c_str(), nullptr));  // in the way of the copy
  TextOwner t(loaded(p, 0, "v2"));
  text_file(t)->flags |= TF_DOCUMENT;
  mode(2);
  EXPECT_TRUE(text_save(t));
  EXPECT_EQ(read_file(p), "v2");
  Text* want = format_text("バックアップが作成できませんでした:\n\t%s\n", p.c_str());
  EXPECT_TRUE(shown(text_cstr(want)));
  text_free(want);
}

// ---- the character check ----

struct DialogLog {
  static int& calls() {
    static int n;
    return n;
  }
  static PackedId& answer() {
    static PackedId a;
    return a;
  }
  static std::string& items() {
    static std::string s;
    return s;
  }
  static PackedId ask(Text*, const char* title, Text* items_text, PackedId initial) {
    ++calls();
    EXPECT_STREQ(title, "Unicode特有文字があります");
    EXPECT_EQ(initial, ID("JUMP"));
    items() = str(items_text);
    return answer();
  }
};

class CharCheck : public Save {
 protected:
  std::string pair = escape(0xD842) + escape(0xDFB7);  // one character outside the BMP
  std::string acute = escape(0x00E9);
  void SetUp() override {
    Save::SetUp();
    DialogLog::calls() = 0;
    save_char_set_dialog(DialogLog::ask);
  }
  Text* ex_text(PackedId code) {
    Text* t = text_of("ab" + pair + "c" + acute +
                      "\x82\xA0"
                      "d");
    text_file(t)->flags |= TF_MAY_EX;
    text_set_prop(t, ID("_KC"), (intptr_t)code);
    return t;
  }
};

TEST_F(CharCheck, AsksOnlyWhenTheCodeCannotCarryThem) {
  TextOwner t(ex_text(ID("SJIS")));
  DialogLog::answer() = ID("UTF");
  EXPECT_TRUE(save_char_check(t));
  EXPECT_EQ(DialogLog::calls(), 1);
  EXPECT_EQ(text_prop(t, ID("_KC")), (intptr_t)ID("UTF"));
  EXPECT_NE(DialogLog::items().find("JUMP(rb)\t"), std::string::npos);
  EXPECT_NE(DialogLog::items().find("SJISEX(rb)\tSJIS-EX(ZQ拡張)で保存(&S)"), std::string::npos);
  Text* msg = format_text("%idで保存", ID("UTF"));
  EXPECT_TRUE(shown(text_cstr(msg)));
  text_free(msg);
  // Now UTF: no question.
  EXPECT_TRUE(save_char_check(t));
  EXPECT_EQ(DialogLog::calls(), 1);
  for (const char* code : {"UNI", "EURO", "UNIB", "UTFB", "UNIBE", "SJISEX"}) {
    TextOwner u(ex_text(id_pack(code)));
    EXPECT_TRUE(save_char_check(u)) << code;
  }
  EXPECT_EQ(DialogLog::calls(), 1);
  // Not marked, never ask, binary, too long, or nothing to find: no question either.
  TextOwner plain(text_of("ab" + pair));
  EXPECT_TRUE(save_char_check(plain));
  TextOwner never(ex_text(ID("SJIS")));
  text_file(never)->flags |= TF_NEVER_ASK;
  EXPECT_TRUE(save_char_check(never));
  TextOwner bin(ex_text(ID("SJIS")));
  text_file(bin)->flags |= TF_BINARY;
  EXPECT_TRUE(save_char_check(bin));
  TextOwner clean(text_of("\x82\xA0\x82\x80 plain"));
  text_file(clean)->flags |= TF_MAY_EX;
  EXPECT_TRUE(save_char_check(clean));
  TextOwner big(ex_text(ID("SJIS")));
  text_bottom(big);
  std::string filler(2000000, 'x');
  text_insert(big, filler.data(), TI_RAW, (int64_t)filler.size());
  EXPECT_TRUE(save_char_check(big));
  EXPECT_EQ(DialogLog::calls(), 1);
}

TEST_F(CharCheck, ReplacingCountsAPairAsOne) {
  TextOwner t(ex_text(ID("SJIS")));
  DialogLog::answer() = ID("SJIS");
  EXPECT_TRUE(save_char_check(t));
  EXPECT_EQ(str(t),
            "ab?c?\x82\xA0"
            "d");
  EXPECT_TRUE(shown("2個置換しました"));
}

TEST_F(CharCheck, JumpAndCloseCancelTheSave) {
  std::string p = at("c.txt");
  ASSERT_TRUE(write_file(p, "old"));
  TextOwner t(ex_text(ID("SJIS")));
  text_bottom(t);
  DialogLog::answer() = ID("JUMP");
  EXPECT_FALSE(text_save_to(t, p.c_str()));
  EXPECT_EQ(text_tell(t), 2);  // the first SJIS-EX character
  EXPECT_TRUE(text_file(t)->flags & TF_CANCELLED);
  DialogLog::answer() = 0;
  EXPECT_FALSE(text_save_to(t, p.c_str()));
  EXPECT_EQ(read_file(p), "old");
  EXPECT_EQ(list_folder(dir), std::vector<std::string>{"c.txt"});
  DialogLog::answer() = ID("SJISEX");
  EXPECT_TRUE(text_save_to(t, p.c_str()));
  EXPECT_FALSE(text_file(t)->flags & TF_CANCELLED);
  EXPECT_EQ(read_file(p), str(t));
}

TEST_F(CharCheck, BuiltInDialogAsksThroughTheMessageBox) {
  save_char_set_dialog(nullptr);
  save_char_set_choice(ID("UNIB"));
  TextOwner t(ex_text(ID("SJIS")));
  Messages::answer() = NOTIFY_CANCEL;
  EXPECT_FALSE(save_char_check(t));
  ASSERT_EQ(Messages::boxes().size(), 1u);
  EXPECT_EQ(Messages::boxes()[0].rfind("Unicode特有文字があります", 0), 0u);
  Messages::answer() = NOTIFY_YES;
  EXPECT_TRUE(save_char_check(t));
  EXPECT_EQ(text_prop(t, ID("_KC")), (intptr_t)ID("UNIB"));
}

}  // namespace
