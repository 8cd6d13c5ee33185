// Descriptions and menu files from any bytes (menu files are edited by users): every line is read,
// written back and chosen; a state written into a line must read back unchanged, and the line
// must keep its kind and identifier.

#include "ui/desc.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.h"
#include "ui/menu_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string s((const char*)data, size);
  Text* t = text_new();
  if (!t) return 0;
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
  text_free(t);
  return 0;
}
