// The SET run's order, its questions and what an unattended run does instead.

#include "setup/install.h"
#include "setup/setup_run.h"
#include "setup/switches.h"
#include "setup/wizard.h"
#include "setup_env.h"
#include "ui/notify.h"

namespace {

struct Fake {
  int running = 0;  // how many more checks find the editor running
  bool wizard_ok = true, install_ok = true;
  bool starts_in_wizard = false;  // the user starts the editor while the wizard is open
  bool newer = false;             // the installed editor is newer than the package's
  bool rights = true;             // the process may write the folder and HKLM
  int child = 0;                  // the elevated program's exit code (-1: declined)
  std::string elevated;           // the arguments it was started with
  bool associated[4] = {};
  std::vector<int> answers;  // to the questions, in turn (then NO)
  std::string calls;
};
Fake* g_fake;

int sink(NotifyKind kind, const char* message, unsigned) {
  std::string m = message;
  const char* tag = m.find("起動中") != std::string::npos             ? "running"
                    : m.find("中止しますか") != std::string::npos     ? "stop?"
                    : m.find("失敗") != std::string::npos             ? "failed"
                    : m.find("新しいバージョン") != std::string::npos ? "newer"
                    : m.rfind("elevate: ", 0) == 0                    ? "elevate"
                    : m.find("管理者") != std::string::npos           ? "rights"
                    // the completion: announcing a start only where one may follow
                    : m.find("を起動") != std::string::npos ? "done,start"
                                                            : "done";
  g_fake->calls += std::string(kind == NOTIFY_BOX ? "box:" : "log:") + tag + " ";
  if (kind != NOTIFY_BOX || g_fake->answers.empty()) return NOTIFY_NO;
  int a = g_fake->answers.front();
  g_fake->answers.erase(g_fake->answers.begin());
  return a;
}

Fake fake(int running = 0, bool wizard_ok = true, bool install_ok = true,
          std::vector<int> answers = {}) {
  Fake f;
  f.running = running;
  f.wizard_ok = wizard_ok;
  f.install_ok = install_ok;
  f.answers = answers;
  return f;
}

SetupRunOps ops() {
  SetupRunOps o;
  o.ctx = g_fake;
  o.editor_running = [](void* c) { return ((Fake*)c)->running > 0 && ((Fake*)c)->running--; };
  o.wizard = [](void* c, Text*) {
    ((Fake*)c)->calls += "wizard ";
    if (((Fake*)c)->starts_in_wizard) ((Fake*)c)->running = 100;
    return ((Fake*)c)->wizard_ok;
  };
  o.installed_newer = [](void* c, Text*) { return ((Fake*)c)->newer; };
  o.rights = [](void* c, Text*, SetupRights* out) {
    out->folder = out->machine = ((Fake*)c)->rights;
  };
  o.elevate = [](void* c, const char* args, bool* declined) {
    Fake* f = (Fake*)c;
    f->calls += "elevate ";
    f->elevated = args;
    *declined = f->child < 0;
    return f->child;
  };
  o.install = [](void* c, Text*, Text* failure) {
    ((Fake*)c)->calls += "install ";
    if (!((Fake*)c)->install_ok) text_puts(failure, "C:\\ZQ\\zq9.txt: Access denied\n");
    return ((Fake*)c)->install_ok;
  };
  o.associated = [](void* c, PackedId ext) {
    for (int k = 0; k < 4; ++k)
      if (setup_extensions[k].ext == ext) return ((Fake*)c)->associated[k];
    return false;
  };
  o.associate = [](void* c, PackedId ext, bool on) {
    char id[8];
    ((Fake*)c)->calls += std::string("assoc:") + id_unpack(ext, id) + (on ? "+ " : "- ");
  };
  o.uninstall_entry = [](void* c, Text*, const char* name, const char* command) {
    ((Fake*)c)->calls += std::string("entry:") + name + "|" + command + " ";
  };
  o.start = [](void* c, const char* exe) {
    ((Fake*)c)->calls += std::string("start:") + exe + " ";
    return true;
  };
  return o;
}

// One run over a record of COMMON and EXE C:\ZQ (SILENT and FORCE as given).
int run(int common, bool silent, bool force = false, Text** keep = nullptr) {
  SetupRun r{};
  r.rec = text_new();
  setup_set(r.rec, ID("COMMON"), common);
  setup_set_text(r.rec, ID("EXE"), "C:\\ZQ");
  if (silent) setup_set(r.rec, ID("SILENT"), 1);
  if (force) setup_set(r.rec, ID("FORCE"), 1);
  SetupRunOps o = ops();
  setup_run(&r, &o);
  if (keep)
    *keep = r.rec;
  else
    text_free(r.rec);
  return r.exit_code;
}

Fake no_rights(int child) {
  Fake f;
  f.rights = false;
  f.child = child;
  return f;
}

Fake newer(bool starts = false) {
  Fake f;
  f.newer = true;
  f.starts_in_wizard = starts;
  return f;
}

}  // namespace

TEST(SetRun, OrderQuestionsAndExitCodes) {
  const char* entry = "entry:VI RIDEVA 9 64ved|\"C:\\ZQ\\zqsetup.exe\" -uninst ";
  struct Row {
    const char* name;
    bool silent;
    int common;
    Fake fake;
    std::string calls;
    int code;
    bool force = false;
  } rows[] = {
      {"standard", false, 1, fake(),
       std::string("wizard install box:done,start ") + entry + "start:C:\\ZQ\\zqeditor.exe ", 0},
      {"user, no start", false, 0, fake(), std::string("wizard install box:done,start ") + entry,
       0},
      {"user, start", false, 0, fake(0, true, true, {NOTIFY_YES}),
       std::string("wizard install box:done,start ") + entry + "start:C:\\ZQ\\zqeditor.exe ", 0},
      {"cancelled", false, 1, fake(0, false), "wizard ", 2},
      {"install fails", false, 1, fake(0, true, false), "wizard install box:failed ", 1},
      {"editor closed after asking", false, 1, fake(1, true, true, {NOTIFY_YES}),
       std::string("box:running wizard install box:done,start ") + entry +
           "start:C:\\ZQ\\zqeditor.exe ",
       0},
      {"user stops", false, 1, fake(5, true, true, {NOTIFY_NO, NOTIFY_YES}),
       "box:running box:stop? ", 3},
      // started while the wizard was open: the second check stops the run before any writing
      {"editor started in the wizard", false, 1,
       [] {
         Fake f;
         f.starts_in_wizard = true;
         f.answers = {NOTIFY_NO, NOTIFY_YES};
         return f;
       }(),
       "wizard box:running box:stop? ", 3},
      {"silent", true, 1, fake(), std::string("install log:done ") + entry, 0},
      {"silent, editor running", true, 1, fake(5), "log:running ", 3},
      // the installed editor is newer: the wizard warned; unattended only with -force
      {"newer, wizard", false, 1, newer(),
       std::string("wizard install box:done,start ") + entry + "start:C:\\ZQ\\zqeditor.exe ", 0},
      {"newer, silent", true, 1, newer(), "log:newer ", 2},
      {"newer, silent, forced", true, 1, newer(),
       std::string("log:newer install log:done ") + entry, 0, true},
      // a standard installation without the rights: the same program elevated does it all
      {"no rights", false, 1, no_rights(0),
       "wizard log:elevate elevate box:done,start start:C:\\ZQ\\zqeditor.exe ", 0},
      {"no rights, elevated run fails", false, 1, no_rights(1), "wizard log:elevate elevate ", 1},
      {"no rights, elevated run refuses", false, 1, no_rights(2), "wizard log:elevate elevate ", 2},
      {"no rights, prompt declined", false, 1, no_rights(-1),
       "wizard log:elevate elevate box:rights ", 2},
      {"no rights, silent: never a prompt", true, 1, no_rights(0), "log:rights ", 2},
      {"no rights, user installation", false, 0, no_rights(0),
       std::string("wizard install box:done,start ") + entry, 0},
      {"silent, install fails", true, 1, fake(0, true, false), "install log:failed ", 1},
  };
  for (Row& r : rows) {
    SCOPED_TRACE(r.name);
    g_fake = &r.fake;
    notify_set_sink(sink);
    int code = run(r.common, r.silent, r.force);
    notify_set_sink(nullptr);
    EXPECT_EQ(r.fake.calls, r.calls);
    EXPECT_EQ(code, r.code);
  }
}

TEST(SetRun, AssociationsFollowTheRecord) {
  Fake f;
  f.associated[1] = true;  // .c is the editor's, the record says no
  f.associated[3] = true;  // .h is the editor's, the record says nothing: it stays
  g_fake = &f;
  notify_set_sink(sink);
  SetupRun r{};
  Text* rec = r.rec = text_new();
  setup_set_text(rec, ID("EXE"), "C:\\ZQ");
  setup_set(rec, ID("SILENT"), 1);
  setup_set(rec, ID("REGTXT"), 1);
  setup_set(rec, ID("REGC"), 0);
  SetupRunOps o = ops();
  setup_run(&r, &o);
  notify_set_sink(nullptr);
  EXPECT_NE(f.calls.find("install assoc:TXT+ assoc:C- log:"), std::string::npos) << f.calls;
  EXPECT_EQ(setup_get(rec, ID("REGH")), 1);
  text_free(rec);
}

TEST(SetRun, TheFailureMessageNamesWhatFailedInTheBoxAndTheLog) {
  static std::string shown;
  static unsigned kinds;
  for (bool silent : {false, true}) {
    Fake f = fake(0, true, false);
    g_fake = &f;
    shown.clear();
    kinds = 0;
    notify_set_sink([](NotifyKind, const char* message, unsigned kind) -> int {
      shown += message;
      kinds |= kind & 0xFF;
      return NOTIFY_YES;
    });
    EXPECT_EQ(run(1, silent), SETUP_EXIT_FAILED);
    notify_set_sink(nullptr);
    EXPECT_NE(shown.find("セットアップに失敗しました"), std::string::npos) << silent;
    EXPECT_NE(shown.find("C:\\ZQ\\zq9.txt: Access denied"), std::string::npos) << silent;
    EXPECT_EQ(kinds, 0u);  // an OK box, not a question
  }
}

// The run's log is the -log file's text: every log line and message from the switches on, the
// refusal's reason included, and nothing after the run has ended.
TEST_F(SetupTest, TheRunKeepsItsOwnLogFromTheFirstStep) {
  struct Row {
    const char* name;
    std::string commands;
    SetupAction action;
    int code;
    const char* in_log;
  } rows[] = {
      {"refused", "app\tcab\r\nsw\tsilent\t0\r\nsw\tbogus\t0\r\n", SETUP_RUN_NONE, 2, "-bogus"},
      {"usage", "app\tcab\r\nword\t/?\r\n", SETUP_RUN_NONE, 0, "-silent"},
      {"log not writable", "app\tcab\r\nsw\tsilent\t0\r\nswstr\tlog\tNUL\r\n", SETUP_RUN_NONE, 2,
       "NUL"},
      {"install", "app\tcab\r\nsw\tsilent\t0\r\nswstr\topt\tREGDT=0\r\n", SETUP_RUN_INSTALL, 0, ""},
      {"wizard", "app\tcab\r\n", SETUP_RUN_WIZARD, 0, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Text* commands = text_new();
    text_puts(commands, r.commands.c_str());
    SetupRun run{};
    EXPECT_EQ(setup_begin(&run, commands, &env), r.action);
    EXPECT_EQ(run.exit_code, r.code);
    EXPECT_NE(std::string(text_cstr(run.log)).find(r.in_log), std::string::npos);
    if (r.action != SETUP_RUN_NONE) {  // the run's silence is in its record
      EXPECT_EQ(setup_get(run.rec, ID("SILENT")), r.action == SETUP_RUN_INSTALL);
    }
    notify_log("a line of the run\n");
    EXPECT_NE(std::string(text_cstr(run.log)).find("a line of the run"), std::string::npos);
    Text* rec = run.rec;
    EXPECT_EQ(setup_end(&run), r.code);
    notify_log("after the run\n");  // no longer kept, and nothing dangles
    text_free(rec);
    text_free(commands);
  }
}

// The uninstall of a standard installation without the rights goes to the same program elevated
// with the uninstall's switches; a user installation's stays here; unattended, nothing prompts.
TEST_F(SetupTest, TheUninstallOfAStandardInstallationAsksForTheRights) {
  struct Row {
    const char* settings;  // the installation's idsystem.sys
    bool silent, rights;
    int child;
    bool here;
    std::string calls;
    int code;
  } rows[] = {
      {"COMMON: 1\n", false, false, 0, false, "log:elevate elevate ", 0},
      {"COMMON: 1\n", false, false, 1, false, "log:elevate elevate ", 1},
      {"COMMON: 1\n", false, false, -1, false, "log:elevate elevate box:rights ", 2},
      {"COMMON: 1\n", true, false, 0, false, "log:rights ", 2},
      {"COMMON: 1\n", false, true, 0, true, "", 0},
      {"COMMON: 0\n", false, false, 0, true, "", 0},
      {"", true, false, 0, true, "", 0},  // no record: not a standard installation
  };
  fs::path inst = root / "pf" / "VA VUDOVA 9";
  fs::create_directories(inst);
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.settings) + (r.silent ? " silent" : ""));
    std::ofstream(inst / "idsystem.sys") << r.settings;
    Fake f = no_rights(r.child);
    f.rights = r.rights;
    g_fake = &f;
    notify_set_sink(sink);
    SetupRun run{};
    run.rec = text_new();
    if (r.silent) setup_set(run.rec, ID("SILENT"), 1);
    SetupRunOps o = ops();
    EXPECT_EQ(setup_uninstall_here(&run, &o, inst.string().c_str()), r.here);
    notify_set_sink(nullptr);
    EXPECT_EQ(f.calls, r.calls);
    EXPECT_EQ(run.exit_code, r.code);
    if (r.calls.find("elevate ") != std::string::npos) {
      EXPECT_EQ(f.elevated.rfind("-uninst -silent -log(\"", 0), 0u) << f.elevated;
    }
    text_free(run.rec);
  }
}
