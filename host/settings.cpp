// The host's settings from the per-user settings record.

#include "host/settings.h"

#include <cstdlib>
#include <cstring>

#include "core/header.h"
#include "files/file.h"
#include "files/path.h"
#include "host/cmdline.h"

namespace {

constexpr uint32_t INT_KEY = HK_ID | HV_INT;

void read_bool(Text* rec, PackedId key, bool* out) {
  int v;
  if (header_get(rec, key, INT_KEY, &v)) *out = v != 0;
}

}  // namespace

void host_settings_read(Text* rec) {
  if (!rec) return;
  HostSettings& s = host_settings;
  int v;
  if (header_get(rec, ID("EDWMOD"), INT_KEY, &v)) s.editor_mode = v & 3;
  read_bool(rec, ID("SCRJMP"), &s.scroll_on_jump);
  read_bool(rec, ID("ZQICON"), &s.zqicon);
  read_bool(rec, ID("KEYACC"), &s.key_repeat);
  if (header_get(rec, ID("KEYDLY"), INT_KEY, &v)) s.key_delays = (uint32_t)v;
  if (header_get(rec, ID("SOUND"), INT_KEY, &v)) s.sound = (uint32_t)v;
  char* name = nullptr;
  if (header_get(rec, ID("ZQNAME"), HK_ID | HV_COPY, &name) && name) {
    // Longer than the setting holds: not cut to another command, left out.
    size_t n = std::strlen(name);
    if (n < sizeof s.zqname) std::memcpy(s.zqname, name, n + 1);
  }
  std::free(name);
}

bool host_settings_load(const char* path) {
  Text* rec = text_new();
  Text* name = nullptr;
  if (!path) {
    // The user's record, else the default beside the program. Read where it lies: resolving
    // "zqcfg://" would copy the default to the user, and reading the settings writes nothing.
    name = settings_folder();
    if (name && !(path_join(name, "idsystem.sys") && file_is_file(text_cstr(name)))) {
      text_free(name);
      name = program_path();
      if (name && !path_join(name, "idsystem.sys")) text_clear(name);
    }
    path = name ? text_cstr(name) : "";
  }
  bool ok = rec && *path && text_load(rec, path, TL_READ_ONLY_CONTENTS) && text_length(rec) > 0;
  if (ok) host_settings_read(rec);
  text_free(rec);
  text_free(name);
  return ok;
}
