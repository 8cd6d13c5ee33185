// Dispatch: the applet table, the walk of a CommandList, finding running windows with the
// window-message protocol, the string transfer between processes and its receiver.

#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/codepage.h"
#include "core/format.h"
#include "core/records.h"
#include "files/file.h"
#include "host/cmdline.h"
#include "host/host.h"

namespace {

struct AppletEntry {
  PackedId id;
  AppletCreateFn create;
};
AppletEntry g_applets[16];
int g_applet_count;

// Heap copies of strings posted as HOST_STRING: the receiver only reads them, so they live until
// shutdown (host_free_posted_strings).
char** g_posted;
int g_posted_count, g_posted_capacity;

char* dup_range(const char* s, const char* e) {
  size_t n = (size_t)(e - s);
  char* out = (char*)std::malloc(n + 1);
  if (!out) return nullptr;
  std::memcpy(out, s, n);
  out[n] = 0;
  return out;
}

bool keep_posted(char* s) {
  if (g_posted_count == g_posted_capacity) {
    int cap = g_posted_capacity ? g_posted_capacity * 2 : 16;
    char** grown = (char**)std::realloc(g_posted, sizeof(char*) * (size_t)cap);
    if (!grown) return false;
    g_posted = grown;
    g_posted_capacity = cap;
  }
  g_posted[g_posted_count++] = s;
  return true;
}

bool other_process(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid != GetCurrentProcessId();
}

// A query with the timeout; a window that does not answer in time gives 0.
LRESULT query(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, HOST_QUERY_TIMEOUT_MS,
                           &result))
    return 0;
  return (LRESULT)result;
}

struct Sender {
  bool synchronous;
  void operator()(HWND w, UINT message, WPARAM wparam, LPARAM lparam) const {
    if (synchronous)
      SendMessageW(w, message, wparam, lparam);
    else
      PostMessageW(w, message, wparam, lparam);
  }
  void command(HWND w, PackedId id, intptr_t n) const { (*this)(w, UI_MSG_COMMAND, id, (LPARAM)n); }
};

// A string for the target: by the transfer when the target came from a file hand-over or lives in
// another process (a pointer means nothing there), otherwise as HOST_STRING with a copy.
void send_value(HWND target, bool by_transfer, PackedId name, const char* value,
                const Sender& send) {
  const char* end = value + std::strlen(value);
  if (by_transfer || other_process(target) || send.synchronous) {
    applet_send_string(target, name, value, end, send.synchronous);
    return;
  }
  char* copy = dup_range(value, end);
  if (!copy || !keep_posted(copy)) {
    std::free(copy);
    return;
  }
  PostMessageW(target, HOST_STRING, name, (LPARAM)copy);
}

// The value of the record's last field: from field n to the line end (it may hold TABs).
char* field_to_end(Text* list, int n) {
  const char* f = text_field(list, n);
  if (!f) return nullptr;
  return dup_range(f, f + std::strcspn(f, "\r\n"));
}

bool has_link_extension(const char* s) {
  size_t n = std::strlen(s);
  return n >= 4 && _stricmp(s + n - 4, ".lnk") == 0;
}

// The target of a shell link, or the name unchanged when it cannot be resolved.
char* resolve_link(char* name) {
  wchar_t* wide = (wchar_t*)to_wide_new(name, -1);
  if (!wide) return name;
  HRESULT init = CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  wchar_t target[MAX_PATH] = {0};
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 (void**)&link))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
      if (SUCCEEDED(file->Load(wide, STGM_READ))) link->GetPath(target, MAX_PATH, nullptr, 0);
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  std::free(wide);
  if (!target[0]) return name;
  char* out = to_narrow_new((const char16_t*)target, -1);
  if (!out) return name;
  std::free(name);
  return out;
}

struct WindowList {
  HWND* items;
  int count, capacity;
};

BOOL CALLBACK collect_own(HWND w, LPARAM lp) {
  WindowList* list = (WindowList*)lp;
  if (!host_is_own_window(w)) return TRUE;
  if (list->count == list->capacity) {
    int cap = list->capacity ? list->capacity * 2 : 16;
    HWND* grown = (HWND*)std::realloc(list->items, sizeof(HWND) * (size_t)cap);
    if (!grown) return FALSE;
    list->items = grown;
    list->capacity = cap;
  }
  list->items[list->count++] = w;
  return TRUE;
}

// A new window from the table. Its START 1 and SHOW go the way of the rest of the batch: posted,
// or sent when the dispatch is synchronous (a posted START would arrive after the sent commands).
HWND create_window(PackedId applet, const char* file, int show, const Sender& send,
                   Text* records = nullptr) {
  for (int i = 0; i < g_applet_count; ++i) {
    if (g_applets[i].id != applet || !g_applets[i].create) continue;
    HWND w = g_applets[i].create(applet, file, show, records);
    if (!w) return nullptr;
    send.command(w, ID("START"), 1);
    if (show != (int)ID("NOSHOW")) send.command(w, ID("SHOW"), show);
    return w;
  }
  return nullptr;
}

// The records of the applet whose "app" record is at the list's cursor, up to the next "app"
// record (a new Text; the cursor stays).
Text* applet_records(Text* list) {
  Text* out = text_new();
  const char* s = text_cstr(list);
  if (!out || !s) return out;
  const char* from = s + text_tell(list);
  const char* end = std::strstr(from, "\napp\t");
  text_insert(out, from, TI_RAW, end ? end + 1 - from : (int64_t)std::strlen(from));
  text_top(out);
  return out;
}

}  // namespace

void host_free_posted_strings() {
  for (int i = 0; i < g_posted_count; ++i) std::free(g_posted[i]);
  std::free(g_posted);
  g_posted = nullptr;
  g_posted_count = g_posted_capacity = 0;
}

bool applet_register(PackedId applet, AppletCreateFn create) {
  for (int i = 0; i < g_applet_count; ++i)
    if (g_applets[i].id == applet) {
      g_applets[i].create = create;
      return true;
    }
  if (g_applet_count == (int)(sizeof g_applets / sizeof g_applets[0])) return false;
  g_applets[g_applet_count++] = {applet, create};
  return true;
}

bool applet_is_editor(PackedId applet) {
  switch (applet) {
    case ID("EDITOR"):
    case ID("EDMDI"):
    case ID("EDMDI1"):
    case ID("EDSDI"):
    case ID("EDMBF"):
    case ID("EDMBF1"):
      return true;
    default:
      return false;
  }
}

bool host_is_own_window(HWND window) {
  wchar_t name[64];
  int n = window ? GetClassNameW(window, name, 64) : 0;
  if (n < 8 || std::wcsncmp(name, UI_CLASS_FRAME, 8) != 0) return false;
  return name[8] == 0 || name[8] == L':';
}

HWND host_first_window() {
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
    if (host_is_own_window(w)) return w;
  return nullptr;
}

HWND applet_find(PackedId applet, const char* file, unsigned flags) {
  bool editor = applet_is_editor(applet);
  if (editor) applet = ID("EDITOR");
  WindowList own = {nullptr, 0, 0};
  EnumWindows(collect_own, (LPARAM)&own);
  HWND found = nullptr;
  for (int i = 0; i < own.count && !found; ++i) {
    HWND w = own.items[i];
    bool is = query(w, HOST_QUERY, ID("ISAPP"), (LPARAM)applet) == 2;
    if (!is && editor && file) is = query(w, HOST_QUERY, ID("ISAPP"), ID("PDFOUT")) == 2;
    if (!is) continue;
    if (!file) {
      found = w;
      break;
    }
    COPYDATASTRUCT cd;
    cd.dwData = (flags & AF_PROJECT) ? ID("ISPRJ")
                : (flags & AF_FRONT) ? ID("IAOPEN")
                                     : ID("ISOPEN");
    cd.cbData = (DWORD)std::strlen(file) + 1;
    cd.lpData = (void*)file;
    LRESULT r = query(w, WM_COPYDATA, (WPARAM)GetActiveWindow(), (LPARAM)&cd);
    if (r == 2)
      found = w;
    else if (r > 2 && IsWindow((HWND)r))
      found = (HWND)r;
  }
  std::free(own.items);
  if (found && (flags & AF_FRONT)) query(found, UI_MSG_COMMAND, ID("POPUPF"), 0);
  return found;
}

HWND applet_create(PackedId applet, const char* file, int show) {
  return create_window(applet, file, show, Sender{false});
}

void applet_send_string(HWND window, PackedId command, const char* start, const char* end,
                        bool synchronous) {
  if (!window || !start) return;
  if (!end) end = start + std::strlen(start);
  if (synchronous && !other_process(window)) {
    char* copy = dup_range(start, end);
    if (!copy) return;
    SendMessageW(window, HOST_STRING, command, (LPARAM)copy);
    std::free(copy);
    return;
  }
  Sender send{synchronous};
  // Four bytes a group, the first in the highest position; a last short group in the low bytes.
  auto group = [&](const char*& p) -> LPARAM {
    uint32_t v = 0;
    for (int i = 0; i < 4 && p < end; ++i) v = (v << 8) | (unsigned char)*p++;
    return (LPARAM)v;
  };
  const char* p = start;
  send(window, HOST_XFER, command, group(p));
  while (p < end) {
    LPARAM a = group(p);
    LPARAM b = group(p);
    send(window, HOST_XFER_NEXT, (WPARAM)a, b);
  }
  send(window, HOST_XFER, 0, 0);
}

bool host_receive_string(HostStringReceiver* r, HWND window, UINT message, WPARAM wparam,
                         LPARAM lparam) {
  if (message != HOST_XFER && message != HOST_XFER_NEXT) return false;
  auto append = [&](uint32_t v) {
    char bytes[4];
    int n = 0;
    for (int shift = 24; shift >= 0; shift -= 8)
      if (char b = (char)(v >> shift)) bytes[n++] = b;  // zero bytes are padding
    if (n) text_insert(r->text, TextArg((const char*)bytes), TI_RAW, n);
  };
  if (message == HOST_XFER && wparam != 0) {
    text_free(r->text);  // an unfinished string is dropped
    r->text = text_new();
    r->command = (PackedId)wparam;
    append((uint32_t)lparam);
  } else if (message == HOST_XFER_NEXT) {
    if (r->text) {
      append((uint32_t)wparam);
      append((uint32_t)lparam);
    }
  } else if (r->text) {
    Text* t = r->text;
    r->text = nullptr;
    SendMessageW(window, HOST_STRING, r->command, (LPARAM)text_cstr(t));
    text_free(t);
  }
  return true;
}

void host_receiver_free(HostStringReceiver* r) {
  text_free(r->text);
  r->text = nullptr;
}

HWND applet_dispatch(Text* list, bool synchronous) {
  if (!list || text_at_end(list)) return nullptr;
  PackedId applet = id_pack(text_field(list, 2));
  TextOwner records(applet_records(list));
  text_next_line(list);
  Sender send{synchronous};
  HWND existing = nullptr;
  if (applet == ID("ICON") || applet == ID("MAILER"))
    existing = applet_find(applet, nullptr, AF_FRONT);
  if (applet == ID("EDITOR")) applet = ID("EDMDI");
  bool editor = applet_is_editor(applet);
  int show = SW_SHOWNORMAL;
  HWND target = nullptr;
  bool by_transfer = false;  // the target came from a file hand-over
  int files = 0;
  for (; !text_at_end(list); text_next_line(list)) {
    PackedId kind = text_id(list);
    if (kind == ID("APP")) break;
    if (kind == ID("SHOW")) {
      const char* f = text_field(list, 2);
      show = f ? std::atoi(f) : show;
    } else if (kind == ID("SW") || kind == ID("SWSTR")) {
      if (!target) {
        if (existing) {
          send.command(existing, ID("START"), 1);
          target = existing;
        } else if (!(target = create_window(applet, nullptr, show, send, records.t))) {
          return nullptr;
        }
      }
      PackedId name = id_pack(text_field(list, 2));
      if (kind == ID("SW")) {
        const char* n = text_field(list, 3);
        send.command(target, name, n ? std::atoi(n) : 0);
      } else if (char* value = field_to_end(list, 3)) {
        send_value(target, by_transfer, name, value, send);
        std::free(value);
      }
    } else if (kind == ID("FILE")) {
      char* name = field_to_end(list, 2);
      if (!name) return nullptr;
      if (has_link_extension(name)) name = resolve_link(name);
      PackedId type = path_classify(name);
      HWND next = nullptr;
      bool next_by_transfer = false;
      if (editor && (type == ID("FOLDER") || type == ID("MASK") || type == ID("MBX"))) {
        next = create_window(ID("FILER"), name, show, send);
      } else if (HWND has = applet_find(applet, name, 0)) {
        if (has != target) send.command(has, ID("START"), 1);
        next = has;
        next_by_transfer = true;
      } else if (existing) {
        if (existing != target) send.command(existing, ID("START"), 1);
        send_value(existing, false, ID("FILE"), name, send);
        next = existing;
      } else {
        next = create_window(applet, name, show, send, records.t);
      }
      std::free(name);
      if (!next) return nullptr;
      if (target && target != next) send.command(target, ID("START"), 0);
      if (target != next) by_transfer = next_by_transfer;
      target = next;
      ++files;
    }
  }
  if (applet && !target) {
    if (existing || files) return nullptr;
    if (!(target = create_window(applet, nullptr, show, send, records.t))) return nullptr;
  }
  if (target) send.command(target, ID("START"), 0);
  return target;
}

int cmdline_run(const wchar_t* line, int show, unsigned options) {
  if (!line) line = L"";
  char* mb = to_narrow_new((const char16_t*)line, -1);
  if (!mb) return 0;
  const char* source = cmdline_source(mb, host_settings.zqname);
  // Option 8 never turns the set-up's unattended line into the editor's.
  if (cmdline_has_unattended_switch(mb)) options &= ~(unsigned)CL_EDITOR_ARG;
  Text* list = cmdline_parse(source, show, options);
  std::free(mb);
  int any = 0;
  for (text_top(list); !text_at_end(list); text_next_line(list)) {
    if (text_id(list) != ID("APP")) continue;
    TextPos at = text_tell(list);
    if (applet_dispatch(list, false)) any = 1;
    text_seek(list, at);
  }
  text_free(list);
  return any;
}
