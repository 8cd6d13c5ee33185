// Schemes, special folders and per-user mode. Natively the special folders come from HOME and
// the XDG variables, which the tests point into their scratch folder; under Wine they are the
// folders of the prefix.

#include <gtest/gtest.h>

#include <string>

#include "files/access/fixture.h"
#include "files/save.h"

using namespace files_test;

namespace {

std::string text_or_null(Text* t) {
  std::string s = t ? str(t) : "<null>";
  text_free(t);
  return s;
}

bool ends_with_nocase(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() &&
         path_compare(s.c_str() + s.size() - tail.size(), tail.c_str(), -1) == 0;
}

class Folders : public FilesTest {
 protected:
  std::string prog;  // program folder
  void SetUp() override {
    FilesTest::SetUp();
    prog = at("prog");
    ASSERT_TRUE(folder_create(prog.c_str(), nullptr));
    path_set_program_path((prog + "\\zq9utl.exe").c_str());
    per_user_set(false);
  }
  void TearDown() override {
    per_user_set(false);
    path_set_system_folder(nullptr);
    path_set_program_path(nullptr);
    FilesTest::TearDown();
  }
};

TEST_F(Folders, ProgramScheme) {
  EXPECT_EQ(resolved("zq://"), wide(prog));
  EXPECT_EQ(resolved("zq:///a.txt"), wide(prog + "\\a.txt"));
  EXPECT_EQ(resolved("zq://a.txt"), wide(prog + "\\a.txt"));
  EXPECT_EQ(resolved("ZQ://sub\\..\\b.txt"), wide(prog + "\\b.txt"));
  EXPECT_EQ(resolved("zq:///"), wide(prog + "\\"));
  EXPECT_EQ(text_or_null(program_path()), prog + "\\zq9utl.exe");
  EXPECT_EQ(text_or_null(special_folder(ID("ZQ"))), prog);
}

TEST_F(Folders, DocumentScheme) {
  EXPECT_EQ(resolved("file://C:\\x.txt"), u"C:\\x.txt");
  EXPECT_EQ(resolved("file://\\\\srv\\s\\x.txt"), u"\\\\srv\\s\\x.txt");
  path_set_system_folder(at("docs").c_str());
  EXPECT_EQ(resolved("file://x.txt"), wide(at("docs\\x.txt")));
  EXPECT_EQ(text_or_null(special_folder(ID("STD"))), at("docs"));
  EXPECT_EQ(text_or_null(special_folder(ID("TEXT"))), at("docs"));
  path_set_system_folder(nullptr);
  EXPECT_EQ(text_or_null(special_folder(ID("STD"))), "<null>");
  // Without FOLDER the documents folder stands in.
  TextOwner docs(special_folder(ID("MYDOC")));
  ASSERT_NE(docs.t, nullptr);
  EXPECT_EQ(text_or_null(document_folder()), str(docs));
  path_add_separator(docs);
  EXPECT_EQ(resolved("file://x.txt"), wide(str(docs) + "x.txt"));
}

TEST_F(Folders, PlainNamesAndNull) {
  EXPECT_EQ(resolved("abc\\d.txt"), u"abc\\d.txt");
  EXPECT_EQ(resolved("C:\\\x95\x5C.txt"), u"C:\\\u8868.txt");
  char16_t* none = path_resolve(nullptr);
  EXPECT_EQ(none, nullptr);
  TextOwner t(text_of("zq://t.txt"));
  EXPECT_EQ(resolved(str(t).c_str()), wide(prog + "\\t.txt"));
}

TEST_F(Folders, SettingsBesideTheProgram) {
  EXPECT_EQ(resolved("zqcfg://a.cfg"), wide(prog + "\\a.cfg"));
  EXPECT_EQ(resolved("zqcfg:///a.cfg"), wide(prog + "\\a.cfg"));
  EXPECT_EQ(resolved("zqcfg://"), wide(prog));
  EXPECT_EQ(text_or_null(special_folder(ID("USER"))), prog);
}

// The application-data folder of this run, and whether the test made its VODudeduva folder.
class PerUser : public Folders {
 protected:
  std::string apdat, vendor;
  bool made_vendor = false;
  void SetUp() override {
    Folders::SetUp();
#ifndef _WIN32
    setenv("XDG_CONFIG_HOME", at("config").c_str(), 1);
    ASSERT_TRUE(folder_create(at("config").c_str(), nullptr));
#endif
    TextOwner a(special_folder(ID("APDAT")));
    ASSERT_NE(a.t, nullptr);
    apdat = str(a);
    vendor = apdat + "\\VODudeduva";
    made_vendor = !file_find_data(vendor.c_str(), nullptr);
    per_user_set(true);
  }
  void TearDown() override {
    per_user_set(false);
    if (made_vendor) remove_tree(vendor);
#ifndef _WIN32
    unsetenv("XDG_CONFIG_HOME");
#endif
    Folders::TearDown();
  }
};

TEST_F(PerUser, SettingsFolderIsCreatedUnderApplicationData) {
  std::string cfg = vendor + "\\ZQ9xcom";
  EXPECT_EQ(text_or_null(settings_folder()), cfg + "\\");
  EXPECT_TRUE(file_is_folder(cfg.c_str()));
  EXPECT_EQ(resolved("zqcfg://"), wide(cfg));
  EXPECT_EQ(resolved("zqcfg://x.cfg"), wide(cfg + "\\x.cfg"));
  EXPECT_EQ(text_or_null(special_folder(ID("USER"))), cfg);
  EXPECT_FALSE(file_find_data((cfg + "\\x.cfg").c_str(), nullptr));  // nothing to copy
}

TEST_F(PerUser, DefaultsAreCopiedOnFirstUse) {
  std::string cfg = vendor + "\\ZQ9xcom";
  ASSERT_TRUE(write_file(prog + "\\def.cfg", "key: default\r\n"));
  EXPECT_EQ(resolved("zqcfg://def.cfg"), wide(cfg + "\\def.cfg"));
  EXPECT_EQ(read_file(cfg + "\\def.cfg"), "key: default\r\n");
  // The user's copy is theirs from now on.
  ASSERT_TRUE(write_file(cfg + "\\def.cfg", "key: mine\r\n"));
  EXPECT_EQ(resolved("zqcfg://def.cfg"), wide(cfg + "\\def.cfg"));
  EXPECT_EQ(read_file(cfg + "\\def.cfg"), "key: mine\r\n");
  EXPECT_EQ(file_open_count(), open_handles);
}

TEST_F(Folders, PerUserModeFollowsTheProgramFilesFolder) {
  TextOwner pf(special_folder(ID("PFILES")));
  ASSERT_NE(pf.t, nullptr);
  path_set_program_path((str(pf) + "\\ZQ\\zq9utl.exe").c_str());
  per_user_init();
  EXPECT_TRUE(per_user_mode());
  path_set_program_path((str(pf) + "2\\ZQ\\zq9utl.exe").c_str());
  per_user_init();
  EXPECT_FALSE(per_user_mode());
  path_set_program_path((prog + "\\zq9utl.exe").c_str());
  per_user_init();
  EXPECT_FALSE(per_user_mode());
}

TEST_F(Folders, SpecialFolders) {
  TextOwner cd(special_folder(ID("CD")));
  ASSERT_NE(cd.t, nullptr);
  EXPECT_TRUE(file_is_folder(cd.t));
  EXPECT_EQ(special_folder(ID("NOSUCH")), nullptr);
  EXPECT_EQ(special_folder(0), nullptr);
  TextOwner login(special_folder(ID("LOGIN")));
  ASSERT_NE(login.t, nullptr);
  EXPECT_FALSE(str(login).empty());
#ifdef _WIN32
  // The folders of a Wine prefix.
  struct Expect {
    const char* id;
    const char* tail;
  };
  TextOwner apdat(special_folder(ID("APDAT")));
  ASSERT_NE(apdat.t, nullptr);
  EXPECT_TRUE(ends_with_nocase(str(apdat), "\\" + str(login) + "\\AppData\\Roaming")) << str(apdat);
  const Expect table[] = {
      {"DESK", "\\Desktop"},
      {"MYDOC", "\\Documents"},
      {"APDATC", ":\\ProgramData"},
      {"PFILES", ":\\Program Files"},
      {"STARTC", ":\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
      {"STARTP", "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
  };
  for (const Expect& e : table) {
    TextOwner t(special_folder(id_pack(e.id)));
    ASSERT_NE(t.t, nullptr) << e.id;
    EXPECT_TRUE(ends_with_nocase(str(t), e.tail)) << e.id << ": " << str(t);
    EXPECT_TRUE(file_is_folder(t.t)) << e.id << ": " << str(t);
  }
  TextOwner desk(special_folder(ID("DESK")));
  TextOwner direct(shell_folder(16));
  EXPECT_EQ(str(desk), str(direct));
  EXPECT_EQ(shell_folder(0x7FFF), nullptr);
#else
  // The table of the native build, under a home of the test's own.
  std::string home = at("home");
  const char* saved_home = std::getenv("HOME");
  std::string old_home = saved_home ? saved_home : "";
  setenv("HOME", home.c_str(), 1);
  for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "XDG_DESKTOP_DIR",
                        "XDG_CONFIG_DIRS"})
    unsetenv(v);
  struct Expect {
    const char* id;
    std::string want;
  };
  const Expect table[] = {
      {"DESK", home + "/Desktop"},
      {"MYDOC", home + "/Documents"},
      {"APDAT", home + "/.config"},
      {"APDATC", "/etc/xdg"},
      {"PFILES", "/opt"},
      {"STARTC", "/usr/share/applications"},
      {"STARTP", home + "/.local/share/applications"},
  };
  for (const Expect& e : table)
    EXPECT_EQ(text_or_null(special_folder(id_pack(e.id))), e.want) << e.id;
  setenv("XDG_DOCUMENTS_DIR", (home + "/Docs").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", "/etc/a:/etc/b", 1);
  EXPECT_EQ(text_or_null(special_folder(ID("MYDOC"))), home + "/Docs");
  EXPECT_EQ(text_or_null(special_folder(ID("APDATC"))), "/etc/a");
  unsetenv("XDG_DOCUMENTS_DIR");
  unsetenv("XDG_CONFIG_DIRS");
  unsetenv("HOME");
  EXPECT_EQ(special_folder(ID("DESK")), nullptr);
  EXPECT_EQ(text_or_null(special_folder(ID("PFILES"))), "/opt");
  if (saved_home) setenv("HOME", old_home.c_str(), 1);
  (void)ends_with_nocase;
#endif
}

}  // namespace
