// The host's settings from the per-user settings record.

#include "host/settings.h"

#include <cstdlib>
#include <cstring>

#include "core/header.h"
#include "files/file.h"
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
  if (!rec) return false;
  bool ok = text_load(rec, path ? path : HOST_SETTINGS_PATH, TL_READ_ONLY_CONTENTS) &&
            text_length(rec) > 0;
  if (ok) host_settings_read(rec);
  text_free(rec);
  return ok;
}
