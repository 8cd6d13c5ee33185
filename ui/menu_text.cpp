// Named menus cut out of menu files, key lines, and native menu command numbers.

#include "ui/menu_text.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "ui/desc.h"

const char MENU_HELP_STD[] = "std";

namespace {

// The applets' menus when "zq://menus.mnu" is absent: the context menus of the runtime's own
// input fields and text views, and the menu bar of the help window. Submenus are written three
// dots deep so that a menu cut out of the text opens them with two.
const char kBuiltinMenus[] =
    ".EDIT\n"
    "UNDO\t元に戻す(&U)\n"
    "--\n"
    "CUT\t切り取り(&T)\n"
    "COPY\tコピー(&C)\n"
    "PASTE\t貼り付け(&P)\n"
    "DELETE\t削除(&D)\n"
    "--\n"
    "SELALL\tすべて選択(&A)\n"
    ".VIEW\n"
    "COPY\tコピー(&C)\n"
    "SELALL\tすべて選択(&A)\n"
    "--\n"
    "...移動(&G)\n"
    "TOP\t先頭へ(&T)\n"
    "END\t末尾へ(&E)\n"
    "...end\n"
    ".HELP\n"
    "...メニュー(&F)\n"
    "EXIT\t閉じる(&X)\n"
    ".END\n";

inline int upper(int c) {
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}
inline bool is_alnum(int c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The position of the heading that names `name`, or -1.
TextPos find_heading(Text* file, PackedId name) {
  const char* s = text_cstr(file);
  for (const char* p = s; *p;) {
    if (*p == '.') {
      const char* title = p;
      while (*title == '.') ++title;
      if (desc_item_id(title) == name) return (TextPos)(p - s);
    }
    const char* nl = strchr(p, '\n');
    if (!nl) break;
    p = nl + 1;
  }
  return -1;
}

struct KeyName {
  const char* name;
  int key;
};
const KeyName kKeyNames[] = {{"ENTER", MENU_VK_RETURN},
                             {"ESC", MENU_VK_ESCAPE},
                             {"UP", MENU_VK_UP},
                             {"DOWN", MENU_VK_DOWN},
                             {"LEFT", MENU_VK_LEFT},
                             {"RIGHT", MENU_VK_RIGHT},
                             {"PAGEUP", MENU_VK_PRIOR},
                             {"PAGEDOWN", MENU_VK_NEXT},
                             {"HOME", MENU_VK_HOME},
                             {"END", MENU_VK_END},
                             {"DELETE", MENU_VK_DELETE},
                             {"BS", MENU_VK_BACK},
                             {"TAB", MENU_VK_TAB},
                             {"SPACE", 0x20},
                             {"INSERT", 0x2D}};

int key_of_name(const char* p, size_t n) {
  for (const KeyName& k : kKeyNames) {
    if (strlen(k.name) != n) continue;
    size_t i = 0;
    while (i < n && upper((unsigned char)p[i]) == k.name[i]) ++i;
    if (i == n) return k.key;
  }
  // F1 to F24.
  if ((n == 2 || n == 3) && upper((unsigned char)p[0]) == 'F' && p[1] >= '1' && p[1] <= '9') {
    int f = p[1] - '0';
    if (n == 3) f = p[2] >= '0' && p[2] <= '9' ? f * 10 + (p[2] - '0') : 0;
    if (f >= 1 && f <= 24) return 0x6F + f;
  }
  return 0;
}

std::mutex g_numbers_lock;
PackedId* g_numbers = nullptr;  // identifier of command number 100 + i
int g_count = 0;
int g_capacity = 0;

}  // namespace

Text* menu_extract(TextArg file, PackedId name, bool keep_levels) {
  Text* own = nullptr;
  Text* src = text_is_live(file.p) ? (Text*)file.p : nullptr;
  if (!src && file.p) {
    int64_t n = (int64_t)strlen((const char*)file.p);
    own = src = text_new();
    if (!own || text_insert(own, file, TI_WHOLE, 0) != n) {
      text_free(own);
      return nullptr;
    }
  }
  Text* out = nullptr;
  TextPos at = (src && name) ? find_heading(src, name) : -1;
  if (at >= 0) out = desc_submenu(src, at, keep_levels);
  if (!out) out = text_new();  // an absent menu, or a heading that opens nothing: empty
  text_free(own);
  if (!out) return nullptr;
  text_set_prop(out, MENU_PROP_FIXED, 1);
  text_set_prop(out, MENU_PROP_HELP, (intptr_t)MENU_HELP_STD);
  return out;
}

const char* menu_builtin_text() {
  return kBuiltinMenus;
}

bool menu_key_parse(const char* line, MenuKey* key, PackedId* command) {
  if (!line) return false;
  MenuKey k{0, 0};
  const char* p = line;
  for (; *p == '+' || *p == '^'; ++p) k.mods |= *p == '+' ? MENU_KEY_SHIFT : MENU_KEY_CTRL;
  if (*p == '{') {
    const char* e = strchr(p + 1, '}');
    const char* nl = strpbrk(p + 1, "\t\r\n");
    if (!e || (nl && nl < e)) return false;
    k.key = key_of_name(p + 1, (size_t)(e - p - 1));
    if (!k.key) return false;
    p = e + 1;
  } else if (*p == '\t' && p > line) {
    // A lone "+" or "^" is the character itself.
    k.key = (unsigned char)p[-1];
    k.mods = (k.mods & ~(p[-1] == '+' ? MENU_KEY_SHIFT : MENU_KEY_CTRL)) | MENU_KEY_CHAR;
  } else if ((unsigned char)*p > ' ' && (unsigned char)*p < 0x80) {
    if (is_alnum((unsigned char)*p)) {
      k.key = upper((unsigned char)*p);
    } else {
      k.key = (unsigned char)*p;
      k.mods |= MENU_KEY_CHAR;
    }
    ++p;
  } else {
    return false;
  }
  if (*p != '\t') return false;
  PackedId cmd = desc_item_id(p + 1);
  if (!cmd) return false;
  if (key) *key = k;
  if (command) *command = cmd;
  return true;
}

PackedId menu_key_command(Text* keys, int key, unsigned mods) {
  if (!keys) return 0;
  for (const char* p = text_cstr(keys); *p;) {
    MenuKey k;
    PackedId cmd;
    if (menu_key_parse(p, &k, &cmd) && k.key == key && k.mods == mods) return cmd;
    const char* nl = strchr(p, '\n');
    if (!nl) break;
    p = nl + 1;
  }
  return 0;
}

int menu_command_number(PackedId id) {
  if (!id) return 0;
  std::lock_guard<std::mutex> guard(g_numbers_lock);
  for (int i = 0; i < g_count; ++i)
    if (g_numbers[i] == id) return 100 + i;
  // Native command numbers are 16 bits wide.
  if (100 + g_count > 0xFFFF) return 0;
  if (g_count == g_capacity) {
    int cap = g_capacity ? g_capacity * 2 : 64;
    PackedId* grown = (PackedId*)realloc(g_numbers, sizeof(PackedId) * (size_t)cap);
    if (!grown) return 0;
    g_numbers = grown;
    g_capacity = cap;
  }
  g_numbers[g_count] = id;
  return 100 + g_count++;
}

PackedId menu_command_id(int number) {
  std::lock_guard<std::mutex> guard(g_numbers_lock);
  int i = number - 100;
  return i >= 0 && i < g_count ? g_numbers[i] : 0;
}
