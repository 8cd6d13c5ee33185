// When the set-up asks for administrator rights, and the command line of the elevated program.

#include "setup/elevate.h"

#include "setup/setup_record.h"
#include "setup_env.h"

TEST(Elevation, OnlyAStandardRoadWithoutTheRightsAsksAndAnUnattendedOneNever) {
  struct Row {
    int common;
    bool uninstall, silent, folder, machine;
    SetupElevation want;
  } rows[] = {
      {1, false, false, true, true, SETUP_ELEVATE_NO},
      {1, false, false, false, true, SETUP_ELEVATE_ASK},
      {1, false, false, true, false, SETUP_ELEVATE_ASK},
      {1, false, true, false, false, SETUP_ELEVATE_REFUSE},
      {1, true, false, false, false, SETUP_ELEVATE_ASK},
      {1, true, true, true, false, SETUP_ELEVATE_REFUSE},
      {0, false, false, false, false, SETUP_ELEVATE_NO},  // the user's road never asks
      {0, true, true, false, false, SETUP_ELEVATE_NO},
  };
  for (const Row& r : rows) {
    Text* rec = text_new();
    setup_set(rec, ID("COMMON"), r.common);
    EXPECT_EQ(setup_elevation(rec, r.uninstall, r.silent, {r.folder, r.machine}), r.want)
        << r.common << r.uninstall << r.silent << r.folder << r.machine;
    text_free(rec);
  }
}

TEST(Elevation, TheChoicesTravelAsUnattendedSwitches) {
  const char* all0 =
      "REGSM=0,REGDT=0,REGBRD=0,REGFIR=0,REGEXE=0,REGTXT=0,REGC=0,REGCPP=0,REGH=0,"
      "SPEAK=0,RESCUE=0";
  struct Row {
    const char* exe;
    const char* icon;
    PackedId on;  // one option switched on (0: none)
    bool uninstall, force;
    const char* log;
    std::string want;  // "" : refused
  } rows[] = {
      {"C:\\Program Files\\ZQ 9", "ZQ", 0, false, false, "C:\\t\\a.log",
       std::string("-silent -exe(\"C:\\Program Files\\ZQ 9\") -opt(\"") + all0 +
           ",ICON=ZQ\") -log(\"C:\\t\\a.log\")"},
      {"C:\\P\\ZQ", "VI Rideva 9 64ved", ID("REGTXT"), false, true, "C:\\l.log",
       "-silent -exe(\"C:\\P\\ZQ\") -opt(\"REGSM=0,REGDT=0,REGBRD=0,REGFIR=0,REGEXE=0,REGTXT=1,"
       "REGC=0,REGCPP=0,REGH=0,SPEAK=0,RESCUE=0,ICON=VI Rideva 9 64ved\") -force "
       "-log(\"C:\\l.log\")"},
      {"C:\\P\\ZQ", "ZQ", ID("RESCUE"), false, false, "L",
       std::string("-silent -exe(\"C:\\P\\ZQ\") -opt(\"REGSM=0,REGDT=0,REGBRD=0,REGFIR=0,REGEXE=0,"
                   "REGTXT=0,REGC=0,REGCPP=0,REGH=0,SPEAK=0,RESCUE=1,ICON=ZQ\") -log(\"L\")")},
      {"C:\\P\\ZQ", "ZQ", 0, true, false, "C:\\u.log", "-uninst -silent -log(\"C:\\u.log\")"},
      // what cannot travel in a quoted switch
      {"C:\\P\\Z\"Q", "ZQ", 0, false, false, "L", ""},
      {"C:\\P\\ZQ", "a,b", 0, false, false, "L", ""},
      {"C:\\P\\ZQ", "a=b", 0, false, false, "L", ""},
      {"C:\\P\\ZQ", "ZQ", 0, false, false, "a\"b", ""},
      {"C:\\P\\ZQ", "ZQ", 0, false, false, "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.want);
    Text* rec = text_new();
    setup_set(rec, ID("COMMON"), 1);
    setup_set_text(rec, ID("EXE"), r.exe);
    setup_set_text(rec, ID("ICON"), r.icon);
    if (r.on) setup_set(rec, r.on, 1);
    Text* args = setup_elevated_args(rec, r.uninstall, r.force, r.log);
    EXPECT_EQ(args ? text_cstr(args) : "", r.want);
    text_free(args);
    text_free(rec);
  }
}
