// The wizard's pages as a state machine.

#include "setup/wizard.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "files/codes.h"
#include "files/file.h"
#include "files/path.h"

namespace {

void overwrite_page(Wizard* w, Text* content) {
  Text* folder = setup_folder(w->rec);
  text_printf(content, "セットアップ先:\n  %s\n", text_cstr(folder));
  text_free(folder);
  if (setup_installed(w->rec)) {
    text_printf(content, "%sがすでにインストールされています。\n", SETUP_PRODUCT);
    text_puts(content, "上書きセットアップを実行します。\n");
  }
  text_printf(
      content,
      "すべての設定をクリアして%sを修復するには、\n「修復インストール」をONにしてください。\n",
      SETUP_PRODUCT);
  FileTime installed;
  if (w->package_time_known && setup_installed_time(w->rec, &installed) &&
      setup_installed_is_newer(w->package_time, installed))
    text_puts(content,
              "セットアップ先のVI "
              "ZIZUZAは、これからセットアップするZQよりも新しいバージョンです。\nセットアップをおこ"
              "なうとバージョンが古くなりますので、セットアップをおこなわず「キャンセル」してくださ"
              "い。\n");
}

void set_mode(Text* rec, bool common) {
  setup_set(rec, ID("COMMON"), common ? 1 : 0);
  header_set(rec, ID("MODE"), HK_ID | HV_ID, common ? ID("COMMON") : ID("USER"));
}

}  // namespace

void wizard_init(Wizard* w, Text* rec, const SetupEnv* env) {
  *w = Wizard{};
  w->rec = rec;
  w->env = env;
  w->flags = WIZ_STANDARD;  // the first page offers the standard road first
}

unsigned wizard_enter(Wizard* w, int page, Text* content, bool* radio1) {
  if (page < 0 || page >= WIZ_PAGES) return 0;
  w->page = page;
  // Back on the first page shows the road chosen there.
  if (radio1)
    *radio1 = page == WIZ_KIND      ? setup_get(w->rec, ID("COMMON")) != 0
              : page == WIZ_WELCOME ? (w->flags & WIZ_STANDARD) != 0
                                    : true;
  if (page == WIZ_OVERWRITE && content) overwrite_page(w, content);
  if (page == WIZ_START && content) setup_status(content, w->rec);
  if (page == WIZ_WELCOME) return WIZ_NEXT;
  return page == WIZ_START ? WIZ_BACK | WIZ_FINISH : WIZ_BACK | WIZ_NEXT;
}

int wizard_next(Wizard* w, bool radio1, Text* message, Text* note) {
  int to = w->page;
  switch (w->page) {
    case WIZ_WELCOME:
      w->flags = radio1 ? (uint8_t)(w->flags | WIZ_STANDARD) : (uint8_t)(w->flags & ~WIZ_STANDARD);
      // Started with " -user", the standard road is the user's own installation, as the first
      // page's defaults promise; the custom road offers both kinds still.
      set_mode(w->rec, setup_get(w->rec, ID("USER")) == 0);
      setup_defaults(w->rec, w->env);
      setup_option_defaults(w->rec);
      to = !radio1 ? WIZ_KIND : setup_installed(w->rec) ? WIZ_OVERWRITE : WIZ_AGREEMENT;
      break;
    case WIZ_KIND:
      set_mode(w->rec, radio1);
      setup_defaults(w->rec, w->env);
      setup_option_defaults(w->rec);
      to = WIZ_FOLDER;
      break;
    case WIZ_FOLDER:
      if (!setup_folder_valid(w->rec, w->env, message)) return w->page;
      to = setup_installed(w->rec) ? WIZ_OVERWRITE : WIZ_AGREEMENT;
      break;
    case WIZ_OVERWRITE:
      if (setup_get(w->rec, ID("RESCUE")) && note)
        text_puts(note, "修復インストールを実行すると、設定内容は初期化されます。\n");
      to = w->flags & WIZ_STANDARD ? WIZ_START : WIZ_OPTIONS;
      break;
    case WIZ_AGREEMENT:
      to = w->flags & WIZ_STANDARD ? WIZ_START : WIZ_OPTIONS;
      break;
    case WIZ_OPTIONS:
      to = WIZ_START;
      break;
    default:
      return w->page;  // the last page finishes, it has no Next
  }
  if (w->depth < WIZ_HISTORY) w->history[w->depth++] = w->page;
  w->page = to;
  return to;
}

int wizard_back(Wizard* w) {
  if (w->depth > 0) w->page = w->history[--w->depth];
  return w->page;
}

void wizard_hist(Wizard* w, const char* previous) {
  setup_set_text(w->rec, ID("HIST"), previous ? previous : "");
  if (!previous || !*previous) return;
  Text* dst = text_new();
  text_puts(dst, previous);
  path_strip_separator(dst, 2);
  const char* name = path_file_name(dst);
  if (!name || !*name) {
    text_free(dst);
    return;
  }
  Text* folder = text_new();
  text_puts(folder, name);
  path_parent(dst);
  setup_set_text(w->rec, ID("FOLDER"), folder);
  setup_set_text(w->rec, ID("DST"), dst);
  text_free(folder);
  text_free(dst);
}

void wizard_refer(Wizard* w, const char* chosen) {
  setup_set_text(w->rec, ID("DST"), chosen ? chosen : "");
  setup_drop(w->rec, ID("HIST"));
}
