#pragma once
// How an extension opens, read from the real registry under Wine: its key, the ProgId it names,
// and that ProgId's description, icon and both verbs' commands, each with its value type. Two
// snapshots are equal when the extension opens exactly the same way. Windows only.

#include <windows.h>

#include <string>

namespace assoc_test {

// "type:data" of a default value, "<none>" when the key or the value is missing.
inline std::wstring value_of(const std::wstring& key) {
  HKEY h;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return L"<none>";
  wchar_t buf[1024] = L"";
  DWORD type = 0, size = sizeof buf - sizeof(wchar_t);
  LONG e = RegQueryValueExW(h, nullptr, nullptr, &type, (BYTE*)buf, &size);
  RegCloseKey(h);
  if (e != ERROR_SUCCESS) return L"<none>";
  return std::to_wstring(type) + L":" + buf;
}

inline std::wstring snapshot(const wchar_t* ext) {
  std::wstring prog = value_of(ext);
  std::wstring s = std::wstring(ext) + L" = " + prog + L"\n";
  if (prog == L"<none>") return s;
  std::wstring name = prog.substr(prog.find(L':') + 1);
  for (const wchar_t* sub :
       {L"", L"\\DefaultIcon", L"\\shell\\open\\command", L"\\shell\\edit\\command"})
    s += name + sub + L" = " + value_of(name + sub) + L"\n";
  return s;
}

}  // namespace assoc_test
