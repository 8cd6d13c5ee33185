// The registry through the wide API: internal text becomes UTF-16 at this border.

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/text.h"
#include "setup/registry.h"

namespace {

HKEY root_key(RegRoot root) {
  return root == REG_CLASSES ? HKEY_CLASSES_ROOT
         : root == REG_USER  ? HKEY_CURRENT_USER
                             : HKEY_LOCAL_MACHINE;
}

// A new internal string (malloc) of a UTF-16 one, or null.
char* narrow_new(const wchar_t* w) {
  Text* t = text_new();
  char* out = nullptr;
  if (t && (!w[0] || text_put_wide(t, (const char16_t*)w) > 0)) {
    const char* s = text_cstr(t);
    size_t n = std::strlen(s) + 1;
    if ((out = (char*)std::malloc(n))) std::memcpy(out, s, n);
  }
  text_free(t);
  return out;
}

// UTF-16 of an internal string; "" for null. Frees itself.
struct Wide {
  char16_t* w;
  explicit Wide(const char* s) : w(to_wide_new(s ? s : "", -1)) {}
  ~Wide() { std::free(w); }
  Wide(const Wide&) = delete;
  Wide& operator=(const Wide&) = delete;
  const wchar_t* get() const { return (const wchar_t*)w; }
  // A null or empty value name is the default value.
  const wchar_t* name() const { return w && w[0] ? (const wchar_t*)w : nullptr; }
};

uint32_t create(RegRoot root, const char* key, HKEY* out) {
  Wide k(key);
  if (!k.w) return ERROR_NOT_ENOUGH_MEMORY;
  return (uint32_t)RegCreateKeyExW(root_key(root), k.get(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                   out, nullptr);
}

}  // namespace

const char* reg_root_name(RegRoot root) {
  return root == REG_CLASSES ? "HKCR" : root == REG_USER ? "HKCU" : "HKLM";
}

uint32_t reg_set_string(RegRoot root, const char* key, const char* name, const char* value) {
  HKEY h;
  uint32_t e = create(root, key, &h);
  if (e) return e;
  Wide n(name), v(value);
  if (!n.w || !v.w) {
    RegCloseKey(h);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  size_t units = 0;
  while (v.w[units]) ++units;
  e = (uint32_t)RegSetValueExW(h, n.name(), 0, REG_SZ, (const BYTE*)v.w,
                               (DWORD)((units + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return e;
}

uint32_t reg_set_dword(RegRoot root, const char* key, const char* name, uint32_t value) {
  HKEY h;
  uint32_t e = create(root, key, &h);
  if (e) return e;
  Wide n(name);
  DWORD d = value;
  e = (uint32_t)RegSetValueExW(h, n.name(), 0, REG_DWORD, (const BYTE*)&d, sizeof d);
  RegCloseKey(h);
  return e;
}

char* reg_get_string(RegRoot root, const char* key, const char* name, uint32_t* error) {
  uint32_t e = ERROR_NOT_ENOUGH_MEMORY;
  char* out = nullptr;
  Wide k(key), n(name);
  HKEY h;
  if (k.w && n.w &&
      (e = (uint32_t)RegOpenKeyExW(root_key(root), k.get(), 0, KEY_READ, &h)) == ERROR_SUCCESS) {
    DWORD type = 0, size = 0;
    e = (uint32_t)RegQueryValueExW(h, n.name(), nullptr, &type, nullptr, &size);
    if (e == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) e = ERROR_INVALID_DATA;
    if (e == ERROR_SUCCESS) {
      // Room for a terminator that the stored value may lack.
      wchar_t* w = (wchar_t*)std::calloc(size / sizeof(wchar_t) + 2, sizeof(wchar_t));
      if (!w) {
        e = ERROR_NOT_ENOUGH_MEMORY;
      } else {
        e = (uint32_t)RegQueryValueExW(h, n.name(), nullptr, &type, (BYTE*)w, &size);
        if (e == ERROR_SUCCESS) {
          out = narrow_new(w);
          if (!out) e = ERROR_NOT_ENOUGH_MEMORY;
        }
        std::free(w);
      }
    }
    RegCloseKey(h);
  }
  if (error) *error = out ? 0 : e;
  return out;
}

bool reg_key_exists(RegRoot root, const char* key) {
  Wide k(key);
  HKEY h;
  if (!k.w || RegOpenKeyExW(root_key(root), k.get(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return false;
  RegCloseKey(h);
  return true;
}

uint32_t reg_delete_key(RegRoot root, const char* key) {
  Wide k(key);
  if (!k.w) return ERROR_NOT_ENOUGH_MEMORY;
  return (uint32_t)RegDeleteKeyW(root_key(root), k.get());
}

int reg_each_subkey(RegRoot root, const char* key, RegVisit visit, void* context) {
  Wide k(key);
  HKEY h;
  if (!k.w || RegOpenKeyExW(root_key(root), k.get(), 0, KEY_READ, &h) != ERROR_SUCCESS) return 0;
  int count = 0;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD n = 256;
    LONG e = RegEnumKeyExW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_MORE_DATA) continue;  // longer than a key name may be: not ours
    if (e != ERROR_SUCCESS) break;       // ERROR_NO_MORE_ITEMS ends the list
    char* s = narrow_new(name);
    bool go_on = !s || visit(context, s);
    std::free(s);
    ++count;
    if (!go_on) break;
  }
  RegCloseKey(h);
  return count;
}
