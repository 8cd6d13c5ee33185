// The SET run's order, its questions and what an unattended run does instead.

#include "setup/install.h"
#include "setup/setup_run.h"
#include "setup/wizard.h"
#include "setup_env.h"
#include "ui/notify.h"

namespace {

struct Fake {
  int running = 0;  // how many more checks find the editor running
  bool wizard_ok = true, install_ok = true;
  bool associated[4] = {};
  std::vector<int> answers;  // to the questions, in turn (then NO)
  std::string calls;
};
Fake* g_fake;

int sink(NotifyKind kind, const char* message, unsigned) {
  std::string m = message;
  const char* tag = m.find("起動中") != std::string::npos         ? "running"
                    : m.find("中止しますか") != std::string::npos ? "stop?"
                    : m.find("失敗") != std::string::npos         ? "failed"
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
    return ((Fake*)c)->wizard_ok;
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
  o.uninstall_entry = [](void* c, const char* name, const char* command) {
    ((Fake*)c)->calls += std::string("entry:") + name + "|" + command + " ";
  };
  o.start = [](void* c, const char* exe) {
    ((Fake*)c)->calls += std::string("start:") + exe + " ";
    return true;
  };
  return o;
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
  } rows[] = {
      {"standard", false, 1, fake(),
       std::string("wizard install box:done ") + entry + "start:C:\\ZQ\\zqeditor.exe ", 0},
      {"user, no start", false, 0, fake(), std::string("wizard install box:done ") + entry, 0},
      {"user, start", false, 0, fake(0, true, true, {NOTIFY_YES}),
       std::string("wizard install box:done ") + entry + "start:C:\\ZQ\\zqeditor.exe ", 0},
      {"cancelled", false, 1, fake(0, false), "wizard ", 2},
      {"install fails", false, 1, fake(0, true, false), "wizard install box:failed ", 1},
      {"editor closed after asking", false, 1, fake(1, true, true, {NOTIFY_YES}),
       std::string("box:running wizard install box:done ") + entry + "start:C:\\ZQ\\zqeditor.exe ",
       0},
      {"user stops", false, 1, fake(5, true, true, {NOTIFY_NO, NOTIFY_YES}),
       "box:running box:stop? ", 2},
      {"silent", true, 1, fake(), std::string("install log:done ") + entry, 0},
      {"silent, editor running", true, 1, fake(5), "log:running ", 1},
      {"silent, install fails", true, 1, fake(0, true, false), "install log:failed ", 1},
  };
  for (Row& r : rows) {
    SCOPED_TRACE(r.name);
    g_fake = &r.fake;
    notify_set_sink(sink);
    Text* rec = text_new();
    setup_set(rec, ID("COMMON"), r.common);
    setup_set_text(rec, ID("EXE"), "C:\\ZQ");
    SetupRunOps o = ops();
    SetupRunResult res = setup_run(&o, rec, r.silent);
    notify_set_sink(nullptr);
    EXPECT_EQ(r.fake.calls, r.calls);
    EXPECT_EQ(res.exit_code, r.code);
    text_free(rec);
  }
}

TEST(SetRun, AssociationsFollowTheRecord) {
  Fake f;
  f.associated[1] = true;  // .c is the editor's, the record says no
  f.associated[3] = true;  // .h is the editor's, the record says nothing: it stays
  g_fake = &f;
  notify_set_sink(sink);
  Text* rec = text_new();
  setup_set_text(rec, ID("EXE"), "C:\\ZQ");
  setup_set(rec, ID("REGTXT"), 1);
  setup_set(rec, ID("REGC"), 0);
  SetupRunOps o = ops();
  setup_run(&o, rec, true);
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
    Text* rec = text_new();
    setup_set_text(rec, ID("EXE"), "C:\\ZQ");
    SetupRunOps o = ops();
    EXPECT_EQ(setup_run(&o, rec, silent).exit_code, SETUP_EXIT_FAILED);
    notify_set_sink(nullptr);
    EXPECT_NE(shown.find("セットアップに失敗しました"), std::string::npos) << silent;
    EXPECT_NE(shown.find("C:\\ZQ\\zq9.txt: Access denied"), std::string::npos) << silent;
    EXPECT_EQ(kinds, 0u);          // an OK box, not a question
    EXPECT_FALSE(setup_silent());  // the engine is not left silent after the run
    text_free(rec);
  }
}
