// The decision to ask for administrator rights, and the elevated program's command line.

#include "setup/elevate.h"

#include <cstring>

#include "core/format.h"
#include "setup/setup_record.h"

namespace {

// The options page's keys, in the order the record knows them.
constexpr PackedId kOptions[] = {ID("REGSM"),  ID("REGDT"),  ID("REGBRD"), ID("REGFIR"),
                                 ID("REGEXE"), ID("REGTXT"), ID("REGC"),   ID("REGCPP"),
                                 ID("REGH"),   ID("SPEAK"),  ID("RESCUE")};

bool has_quote(const char* s) {
  return s && std::strchr(s, '"');
}

}  // namespace

SetupElevation setup_elevation(Text* rec, bool uninstall, bool silent, const SetupRights& rights) {
  (void)uninstall;  // the same rule: only the standard installation's folder and keys need them
  if (!setup_get(rec, ID("COMMON"))) return SETUP_ELEVATE_NO;
  if (rights.folder && rights.machine) return SETUP_ELEVATE_NO;
  return silent ? SETUP_ELEVATE_REFUSE : SETUP_ELEVATE_ASK;
}

Text* setup_elevated_args(Text* rec, bool uninstall, bool force, const char* log) {
  if (!log || !*log || has_quote(log)) return nullptr;
  Text* out = text_new();
  if (!out) return nullptr;
  if (uninstall) {
    text_printf(out, "-uninst -silent -log(\"%s\")", log);
    return out;
  }
  Text* folder = setup_folder(rec);
  Text* icon = setup_get_text(rec, ID("ICON"));
  const char* f = text_cstr(folder);
  const char* i = text_cstr(icon);
  bool ok = f && *f && !has_quote(f) && !has_quote(i) && !std::strpbrk(i ? i : "", ",=");
  if (ok) {
    text_printf(out, "-silent -exe(\"%s\") -opt(\"", f);
    for (PackedId k : kOptions) text_printf(out, "%ID=%d,", k, setup_get(rec, k) ? 1 : 0);
    text_printf(out, "ICON=%s\")%s -log(\"%s\")", i ? i : "", force ? " -force" : "", log);
  }
  text_free(folder);
  text_free(icon);
  if (!ok) {
    text_free(out);
    return nullptr;
  }
  return out;
}
