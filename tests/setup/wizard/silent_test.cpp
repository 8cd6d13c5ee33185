// The unattended run: the switches out of the command list, the record they give, the log file.

#include "core/codepage.h"
#include "files/file.h"
#include "host/cmdline.h"
#include "setup/switches.h"
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
      // other installers' words for -silent, any case; any other word is refused
      {"app\tcab\r\nword\t/S\r\n", true, false, false, nullptr, ""},
      {"app\tcab\r\nword\t/VerySilent\r\nword\t/qn\r\nword\t/QUIET\r\n", true, false, false,
       nullptr, ""},
      {"app\tcab\r\nword\t/silent\r\nword\t/x\r\n", true, false, false, nullptr, "/x"},
      {"app\tcab\r\nword\t/s\r\nword\t-\xe3\x81\x82\r\n", true, false, false, nullptr,
       "-\xe3\x81\x82"},
      // -exe, -log or -opt alone make the run unattended: a bare word is refused
      {"app\tcab\r\nswstr\texe\tC:\\d\\y5\r\nswstr\tlog\tC:\\l.log\r\nfile\textra\r\n", false,
       false, false, "C:\\d\\y5", "file extra, -silent -exe"},
      {"app\tcab\r\nsw\texe\t0\r\nfile\tC:\\d\\y4\r\n", false, false, false, nullptr,
       "-exe, file C:\\d\\y4"},
      {"app\tcab\r\nsw\tsilent\t0\r\nswstr\texe\tC:\\d\\q\"uote\r\n", true, false, false, nullptr,
       "\"C:\\d\\q\"uote"},
      {"app\tcab\r\nswstr\tlog\tC:\\logs\\a\"b.log\r\n", false, false, false, nullptr,
       "\"C:\\logs\\a\"b.log"},
      {"app\tcab\r\nsw\tsilent\t0\r\nswstr\texe\tC:\\A\r\nswstr\texe\tC:\\B\r\n", true, false,
       false, "C:\\A", "twice -exe"},
      {"app\tcab\r\nsw\tsilent\t0\r\nswstr\texe\tC:\\A\r\nswstr\texe\tC:\\A\r\n", true, false,
       false, "C:\\A", ""},
      {"app\tcab\r\nsw\tsilent\t0\r\nsw\tlog\t5\r\n", true, false, false, nullptr, "-log"},
      // the set-up window's own commands are understood
      {"app\tcab\r\nswstr\tlog\tC:\\l.log\r\nsw\tcabexe\t0\r\n", false, false, false, nullptr, ""},
      {"app\tcab\r\nsw\tsilent\t0\r\nsw\tforce\t0\r\nsw\tdebug\t0\r\n", true, false, false, nullptr,
       ""},
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

// The host's parse of real command lines, read by the set-up: what the contract makes of them.
TEST(SetupSwitchesRead, CommandLinesAsTheHostParsesThem) {
  struct Row {
    const char* line;
    bool unattended, silent, help, force;
    const char* bad;
  } rows[] = {
      {"", false, false, false, false, ""},
      {"-uninst", false, false, false, false, ""},
      {"a.txt", false, false, false, false, ""},  // a file for the editor, as ever
      {"-silent -user -exe(C:\\d\\my folder)", true, true, false, false, "-exe, file folder)"},
      {"-silent -user C:\\d\\y2", true, true, false, false, "file C:\\d\\y2"},
      {"-exe \"C:\\d\\y4\"", true, false, false, false, "-exe, file C:\\d\\y4"},
      {"-exe(\"C:\\d\\y5\") -log(\"C:\\l.log\") extra", true, false, false, false,
       "file extra, -silent -exe"},
      {"-exe(\"C:\\d\\y5\")", true, false, false, false, "-silent -exe"},
      {"-opt(\"REGTXT=1\") -force", true, false, false, true, "-silent -opt, -silent -force"},
      {"-silent -exe(\"C:\\d\\q\"uote\")", true, true, false, false, "\"C:\\d\\q\"uote"},
      {"-silent -log(\"C:\\logs\\a\"b.log\")", true, true, false, false, "\"C:\\logs\\a\"b.log"},
      {"/silent", true, true, false, false, ""},
      {"/S /x", true, true, false, false, "/x"},
      {"/?", false, false, true, false, ""},
      {"-?", false, false, true, false, ""},
      {"-help", false, false, true, false, ""},
      {"-silent -force -opt(\"REGTXT=1\")", true, true, false, true, ""},
      {"-silent -opt(\"REGTXT=1\") -opt(\"REGTXT=0\")", true, true, false, false, "twice -opt"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.line);
    Text* list = cmdline_parse(r.line, 1, CL_DEFAULT_APP);
    Switches s(text_cstr(list));
    EXPECT_EQ(setup_commands_unattended(list), r.unattended);
    EXPECT_EQ(s.unattended, r.unattended);
    EXPECT_EQ(s.silent, r.silent);
    EXPECT_EQ(s.help, r.help);
    EXPECT_EQ(s.force, r.force);
    EXPECT_EQ(s.bad_text(), r.bad);
    text_free(list);
  }
  EXPECT_TRUE(setup_is_unattended_word("-Silent"));
  EXPECT_TRUE(setup_is_unattended_word("/qn"));
  EXPECT_FALSE(setup_is_unattended_word("-uninst"));
}

TEST_F(SetupTest, SilentRunTakesTheStandardRoadChangedOnlyByItsSwitches) {
  struct Row {
    const char* name;
    std::string commands;
    SetupAction action;
    int code;
    int common;
    std::string folder;
    std::string keys = "REGDT=1 REGSM=1";  // checked on an installation: KEY=VALUE ...
  };
  // A separator the file layer would decode out of its escape: the name is judged decoded.
  char escaped[4] = {};
  cp_put_escape('\\', escaped);
  const Row rows[] = {
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
      {"refused without silent", "swstr\texe\t" + pf + "/ZQ\nfile\tx\n", SETUP_RUN_NONE, 2, -1, ""},
      {"options", "sw\tsilent\t0\nswstr\topt\tREGTXT=1,regdt=0,ICON=My ZQ,RESCUE=1\n",
       SETUP_RUN_INSTALL, 0, 1, pf + "/VA VUDOVA 9", "REGTXT=1 REGDT=0 ICON=My ZQ RESCUE=1"},
      {"unknown option", "sw\tsilent\t0\nswstr\topt\tREGTXT=1,REGXYZ=1\n", SETUP_RUN_NONE, 2, -1,
       ""},
      {"option value", "sw\tsilent\t0\nswstr\topt\tREGTXT=2\n", SETUP_RUN_NONE, 2, -1, ""},
      {"option without value", "sw\tsilent\t0\nswstr\topt\tREGTXT\n", SETUP_RUN_NONE, 2, -1, ""},
      {"option twice", "sw\tsilent\t0\nswstr\topt\tREGDT=1,REGDT=0\n", SETUP_RUN_NONE, 2, -1, ""},
      {"icon with a path", "sw\tsilent\t0\nswstr\topt\tICON=..\\..\\x\n", SETUP_RUN_NONE, 2, -1,
       ""},
      {"icon a device", "sw\tsilent\t0\nswstr\topt\tICON=CON\n", SETUP_RUN_NONE, 2, -1, ""},
      {"icon empty", "sw\tsilent\t0\nswstr\topt\tICON=\n", SETUP_RUN_NONE, 2, -1, ""},
      {"icon a wildcard", "sw\tsilent\t0\nswstr\topt\tICON=a*\n", SETUP_RUN_NONE, 2, -1, ""},
      {"icon with an escaped separator",
       std::string("sw\tsilent\t0\nswstr\topt\tICON=..") + escaped + "x\n", SETUP_RUN_NONE, 2, -1,
       ""},
      {"icon with a trail byte like a separator",
       "sw\tsilent\t0\nswstr\topt\tICON=\x83\x5c\x83\x7c\n", SETUP_RUN_INSTALL, 0, 1,
       pf + "/VA VUDOVA 9", "ICON=\x83\x5c\x83\x7c"},
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
      for (size_t at = 0; at < r.keys.size();) {
        size_t eq = r.keys.find('=', at), end = r.keys.find(' ', eq);
        size_t next = r.keys.find('=', end == std::string::npos ? eq + 1 : end);
        if (next != std::string::npos) end = r.keys.rfind(' ', next);  // ICON's value has spaces
        std::string key = r.keys.substr(at, eq - at), want = r.keys.substr(eq + 1, end - eq - 1);
        EXPECT_EQ(get(id_pack(key.c_str())), want) << key;
        at = end == std::string::npos ? r.keys.size() : end + 1;
      }
      EXPECT_EQ(text_length(log), 0);
    }
    if (r.code == 2) {
      EXPECT_GT(text_length(log), 0) << "a refusal says why in the log";
    }
    text_free(log);
  }
}

// The -log file is created (or truncated) before the run does anything, and takes the run's log
// at the end; devices and folders are refused.
TEST(SetupLog, OpenedFirstWrittenAsUtf8AndRefusedWhereItCannotBe) {
  fs::path dir = fs::temp_directory_path() / "zqsetup_log_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  Text* log = text_new();
  text_puts(log, "add zqeditor.exe (1)\nセットアップを完了しました。\n");
  std::string path = (dir / "setup.log").string();
  { std::ofstream(path) << "an older, longer log of an earlier run\n"; }
  FileHandle h = setup_log_open(path.c_str());
  ASSERT_NE(h, FILE_INVALID);
  EXPECT_EQ(fs::file_size(path), 0u) << "truncated at once";
  ASSERT_TRUE(setup_log_finish(h, log));
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
  EXPECT_EQ(setup_log_open(missing.c_str()), FILE_INVALID);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(setup_log_open(dir.string().c_str()), FILE_INVALID) << "a folder";
  EXPECT_TRUE(fs::is_directory(dir));
  text_free(log);
  fs::remove_all(dir);
}

TEST(SetupLog, DeviceNamesAreRefused) {
  const struct {
    const char* path;
    bool device;
  } rows[] = {
      {"NUL", true},
      {"nul.txt", true},
      {"C:\\logs\\CON", true},
      {"C:\\x\\com1.log", true},
      {"LPT9", true},
      {"aux:", true},
      {"NUL .log", true},
      {"\\\\.\\pipe\\x", true},
      {"\\\\?\\C:\\a.log", true},
      {"conout$", true},
      {"COM10", false},
      {"nullish.log", false},
      {"C:\\CON\\a.log", false},
      {"console.txt", false},
      {"C:\\logs\\setup.log", false},
      {"COM0", false},
  };
  for (const auto& r : rows) EXPECT_EQ(setup_log_is_device(r.path), r.device) << r.path;
}
