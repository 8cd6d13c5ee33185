// The unattended run: the switches out of the command list, the record they give, the log file.

#include "files/file.h"
#include "setup/wizard.h"
#include "setup_env.h"

namespace {

struct Switches : SetupSwitches {
  explicit Switches(const char* commands) {
    Text* t = text_new();
    text_puts(t, commands);
    setup_switches_read(t, this);
    text_free(t);
  }
  ~Switches() { setup_switches_free(this); }
  std::string bad_text() { return bad ? text_cstr(bad) : ""; }
};

}  // namespace

TEST(SetupSwitchesRead, RecordsOfTheCabApplet) {
  struct Row {
    const char* commands;
    bool silent, uninst, user;
    const char* exe;
    const char* bad;
  } rows[] = {
      {"app\tcab\r\nshow\t1\r\n", false, false, false, nullptr, ""},
      {"app\tcab\r\nshow\t1\r\nsw\tsilent\t0\r\nsw\tuser\t0\r\n", true, false, true, nullptr, ""},
      {"app\tcab\r\nsw\tsilent\t0\r\nswstr\texe\tD:\\ZQ 9\r\n", true, false, false, "D:\\ZQ 9", ""},
      {"app\tcab\r\nsw\tuninst\t0\r\nsw\tsilent\t0\r\n", true, true, false, nullptr, ""},
      // the silent switch counts wherever it stands; a typo is refused in a silent run only
      {"app\tcab\r\nsw\texd\t0\r\nsw\tsilent\t0\r\n", true, false, false, nullptr, "-exd"},
      {"app\tcab\r\nsw\texd\t0\r\n", false, false, false, nullptr, ""},
      {"app\tcab\r\nsw\tsilent\t0\r\nsw\texe\t0\r\n", true, false, false, nullptr, "-exe"},
      {"app\tcab\r\nsw\tsilent\t0\r\nswstr\tuser\tx\r\n", true, false, false, nullptr, "-user"},
      {"app\tcab\r\nsw\tsilent\t0\r\nfile\tC:\\a.txt\r\n", true, false, false, nullptr,
       "file C:\\a.txt"},
      {"app\tcab\r\nsw\tsilent\t0\r\nsw\tuninst\t0\r\nswstr\texe\tC:\\Z\r\n", true, true, false,
       "C:\\Z", "-uninst -exe"},
      // switches of another applet are not ours
      {"app\tcab\r\nshow\t1\r\napp\ticon\r\nsw\tsilent\t0\r\n", false, false, false, nullptr, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.commands);
    Switches s(r.commands);
    EXPECT_EQ(s.silent, r.silent);
    EXPECT_EQ(s.uninst, r.uninst);
    EXPECT_EQ(s.user, r.user);
    EXPECT_STREQ(s.exe ? text_cstr(s.exe) : nullptr, r.exe);
    EXPECT_EQ(s.bad_text(), r.bad);
  }
  Switches log("app\tcab\r\nswstr\tlog\tC:\\setup.log\r\n");
  ASSERT_NE(log.log, nullptr);
  EXPECT_STREQ(text_cstr(log.log), "C:\\setup.log");
}

TEST_F(SetupTest, SilentRunTakesTheStandardRoadChangedOnlyByItsSwitches) {
  struct Row {
    const char* name;
    std::string commands;
    SetupAction action;
    int code;
    int common;
    std::string folder;
  } rows[] = {
      {"standard", "sw\tsilent\t0\n", SETUP_RUN_INSTALL, 0, 1, pf + "/VA VUDOVA 9"},
      {"user", "sw\tsilent\t0\nsw\tuser\t0\n", SETUP_RUN_INSTALL, 0, 0,
       ad + "/VODudeduva/VA VUDOVA 9"},
      {"exe inside", "sw\tsilent\t0\nswstr\texe\t" + pf + "/Tools/ZQ/\n", SETUP_RUN_INSTALL, 0, 1,
       pf + "/Tools/ZQ"},
      {"exe outside", "sw\tsilent\t0\nswstr\texe\t" + ad + "/ZQ\n", SETUP_RUN_NONE, 2, 1, ""},
      {"exe escaping", "sw\tsilent\t0\nswstr\texe\t" + pf + "/../ZQ\n", SETUP_RUN_NONE, 2, 1, ""},
      {"user into program files", "sw\tsilent\t0\nsw\tuser\t0\nswstr\texe\t" + pf + "/ZQ\n",
       SETUP_RUN_NONE, 2, 0, ""},
      {"bad switch", "sw\tsilent\t0\nsw\tfast\t0\n", SETUP_RUN_NONE, 2, -1, ""},
      {"uninstall", "sw\tsilent\t0\nsw\tuninst\t0\n", SETUP_RUN_UNINSTALL, 0, -1, ""},
      {"wizard", "sw\tuser\t0\n", SETUP_RUN_WIZARD, 0, -1, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Switches s(r.commands.c_str());
    text_free(rec);
    rec = setup_record_new(&env, s.user);
    Text* log = text_new();
    int code = -1;
    EXPECT_EQ(setup_silent_record(&s, rec, &env, log, &code), r.action);
    EXPECT_EQ(code, r.code);
    if (r.common >= 0 && r.action == SETUP_RUN_INSTALL) {
      EXPECT_EQ(setup_get(rec, ID("COMMON")), r.common);
      EXPECT_EQ(slashes(folder()), slashes(r.folder));
      EXPECT_EQ(setup_get(rec, ID("REGSM")), 1);
      EXPECT_EQ(setup_get(rec, ID("REGDT")), 1);
      EXPECT_EQ(text_length(log), 0);
    }
    if (r.code == 2) {
      EXPECT_GT(text_length(log), 0) << "a refusal says why in the log";
    }
    text_free(log);
  }
}

TEST(SetupLog, WrittenAsUtf8AndNothingLeftWhenItCannotBe) {
  fs::path dir = fs::temp_directory_path() / "zqsetup_log_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  Text* log = text_new();
  text_puts(log, "add zqeditor.exe (1)\nセットアップを完了しました。\n");
  std::string path = (dir / "setup.log").string();
  ASSERT_TRUE(setup_log_write(path.c_str(), log));
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);  // closed before the folder goes
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_EQ(bytes,
            "add zqeditor.exe (1)\r\n\xE3\x82\xBB\xE3\x83\x83\xE3\x83\x88\xE3\x82\xA2\xE3\x83\x83"
            "\xE3\x83\x97\xE3\x82\x92\xE5\xAE\x8C\xE4\xBA\x86\xE3\x81\x97\xE3\x81\xBE\xE3\x81"
            "\x97\xE3\x81\x9F\xE3\x80\x82\r\n");
  std::string missing = (dir / "no" / "such" / "setup.log").string();
  EXPECT_FALSE(setup_log_write(missing.c_str(), log));
  EXPECT_FALSE(fs::exists(missing));
  text_free(log);
  fs::remove_all(dir);
}
