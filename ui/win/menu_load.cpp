// Named menus from the menu files. Portable: it reaches the files through the file layer only.

#include "ui/win/menu_load.h"

#include <mutex>

#include "files/file.h"
#include "ui/menu_text.h"

namespace {

std::mutex g_lock;
Text* g_menus = nullptr;  // the menus file, or null for the built-in text
bool g_menus_read = false;

// The file's contents, or null when it is absent or cannot be read.
Text* read_file(const char* path) {
  if (!file_is_file(path)) return nullptr;
  Text* t = text_new();
  if (t && text_load(t, path, TL_READ_ONLY_CONTENTS)) return t;
  text_free(t);
  return nullptr;
}

}  // namespace

Text* menu_load(PackedId kind, PackedId name) {
  if (kind == 0) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_menus_read) {
      g_menus = read_file("zq://menus.mnu");
      g_menus_read = true;
    }
    return menu_extract(g_menus ? TextArg(g_menus) : TextArg(menu_builtin_text()), name, false);
  }
  if (kind == ID("BOARD")) {
    Text* board = read_file("zq://board.mnu");
    Text* menu = menu_extract(board, name, name == ID("MENU"));
    text_free(board);
    return menu;
  }
  return menu_extract(nullptr, 0, false);
}

void menu_load_reset() {
  std::lock_guard<std::mutex> guard(g_lock);
  text_free(g_menus);
  g_menus = nullptr;
  g_menus_read = false;
}
