// Links under Windows and Wine: the system's symbolic link first; Wine makes none, so there "ln -s"
// runs on the Linux side with both paths turned into the Linux paths Wine maps them to.

#include <windows.h>

#include <string>

#include "support/links.h"

namespace {

// Wine's mapping of a Windows path to its Linux path ("" outside Wine).
std::string unix_path(const std::filesystem::path& p) {
  typedef char*(CDECL * ToUnix)(const wchar_t*);
  HMODULE k = GetModuleHandleW(L"kernel32.dll");
  ToUnix to_unix = k ? (ToUnix)(void*)GetProcAddress(k, "wine_get_unix_file_name") : nullptr;
  if (!to_unix) return "";
  char* s = to_unix(std::filesystem::absolute(p).wstring().c_str());
  std::string r = s ? s : "";
  if (s) HeapFree(GetProcessHeap(), 0, s);
  return r;
}

bool is_link(const std::filesystem::path& p) {
  DWORD a = GetFileAttributesW(p.wstring().c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Runs a program of the Linux side (Wine starts it and does not follow it to its end) and waits
// until done() holds.
template <class Done>
bool run_linux(const wchar_t* program, const std::string& args, Done done) {
  std::wstring line =
      L"\"" + std::wstring(program) + L"\" " + std::wstring(args.begin(), args.end());
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi))
    return false;
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  for (int k = 0; k < 500; ++k) {
    if (done()) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

bool present(const std::filesystem::path& p) {
  return GetFileAttributesW(p.wstring().c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool remove_link(const std::filesystem::path& link) {
  std::string l = unix_path(link);
  if (l.empty()) {
    // Windows: a link to a folder goes with RemoveDirectoryW, to a file with DeleteFileW.
    if (!is_link(link)) return false;
    return RemoveDirectoryW(link.wstring().c_str()) || DeleteFileW(link.wstring().c_str());
  }
  // Wine removes the folder a link points to (when empty) instead of the link: "rm" on the
  // Linux side removes the link alone.
  return run_linux(L"Z:\\bin\\rm", "-f \"" + l + "\"", [&] { return !present(link); });
}

bool make_link(const std::filesystem::path& target, const std::filesystem::path& link) {
  if (system_link(target, link)) return true;
  std::string t = unix_path(target), l = unix_path(link);
  if (t.empty() || l.empty()) return false;
  // A link to nothing cannot be seen from Wine's side: only its making is waited for.
  bool dangling = !present(target);
  int seen = 0;
  return run_linux(L"Z:\\bin\\ln", "-s \"" + t + "\" \"" + l + "\"",
                   [&] { return dangling ? ++seen > 20 : present(link); });
}

bool links_to_files_reported() {
  return unix_path(std::filesystem::temp_directory_path()).empty();
}
