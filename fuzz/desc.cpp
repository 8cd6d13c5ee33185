// Descriptions and menu files from any bytes (menu files are edited by users): every line is read,
// written back and chosen; a state written into a line must read back unchanged, and the line
// must keep its kind and identifier. "%R" in the input becomes the handle of a live settings
// record and "%D" the handle of the description itself, so that text= bindings are read and
// written while the lines are walked (a binding to the description edits the description).

#include "ui/desc.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.h"
#include "ui/menu_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string raw((const char*)data, size);
  Text* t = text_new();
  Text* rec = text_new();
  if (!t || !rec) {
    text_free(t);
    text_free(rec);
    return 0;
  }
  text_insert(rec, "FFIND: 3\r\nFGREP: 1\r\nFFINDM: 0\r\nBDVTLK: -5\r\n\r\nbody\r\n", TI_WHOLE, 0);
  std::string s;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '%' && i + 1 < raw.size() && (raw[i + 1] == 'R' || raw[i + 1] == 'D')) {
      s += std::to_string((uint64_t)(uintptr_t)(raw[i + 1] == 'R' ? rec : t));
      ++i;
    } else {
      s += raw[i];
    }
  }
  text_insert(t, s.c_str(), TI_WHOLE, 0);

  int lines = 0;
  for (TextPos p = 0; p >= 0 && p < text_length(t) && lines < 200; ++lines) {
    std::string line = text_cstr(t) + p;
    line = line.substr(0, line.find('\n'));
    DescLineKind kind = desc_line_kind(line.c_str());
    PackedId id = desc_item_id(line.c_str());
    MenuKey key;
    PackedId command;
    menu_key_parse(line.c_str(), &key, &command);
    if (kind == DESC_LINE_ITEM || kind == DESC_LINE_NUMBERED) {
      DescBinding b;
      desc_parse_options(t, p, DESC_GROUP, &b);
      desc_parse_options(t, p, DESC_READ, &b);
      uint32_t st = desc_item_state(t, p) ^ DESC_DISABLED;
      if (!desc_set_state(t, p, st) || desc_item_state(t, p) != st) std::abort();
      std::string again = text_cstr(t) + p;
      if (desc_line_kind(again.c_str()) != kind || desc_item_id(again.c_str()) != id) std::abort();
      desc_choose(t, p);
      text_seek(t, p);
      desc_radio(t, ID("SEL"));
    } else if (kind == DESC_LINE_HEADING) {
      text_free(desc_submenu(t, p, false));
      text_free(menu_extract(s.c_str(),
                             desc_item_id(line.c_str() + desc_heading_level(line.c_str())), false));
    }
    TextPos next = text_next_line_pos(t, p);
    p = next > p ? next : -1;
  }

  TextPos last = -1;
  for (TextPos p = desc_next_shown(t, -1); p >= 0; p = desc_next_shown(t, p)) {
    if (p <= last) std::abort();  // the walk always moves on
    last = p;
  }
  desc_init_states(t);
  for (int ch = 'A'; ch <= 'Z'; ch += 5) {
    DescAccelHit h = desc_accelerator(t, ch, -1, true);
    if ((h.count > 0) != (h.line >= 0)) std::abort();
  }
  desc_enable(t, ID("_ALL"), false);
  desc_check(t, ID("OK"), true);
  desc_check(t, ID("FFIND"), true);
  desc_check(t, ID("FFIND"), false);
  text_free(t);
  text_free(rec);
  return 0;
}
