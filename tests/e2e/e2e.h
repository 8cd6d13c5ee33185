#pragma once
// End-to-end helpers: real executables of the build started under the same Wine prefix, windows
// waited for by polling, and the line logs that test programs write. Windows only.

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// A path under the build folder ("app/zq9utl/zq9utl.exe"), or beside the test ("zqpeer.exe").
std::wstring build_path(const wchar_t* relative);
std::wstring beside_test(const wchar_t* name);
// A new empty folder under the temporary folder, removed by remove_tree.
std::wstring temp_dir(const wchar_t* tag);
void remove_tree(const std::wstring& dir);

struct Process {
  HANDLE handle = nullptr;
  DWORD id = 0;
};
// Starts exe with the arguments (already quoted as the command line wants them).
Process start(const std::wstring& exe, const std::wstring& args);
// The exit code, or -1 when the process has not ended within ms.
int wait(Process& p, DWORD ms);
// Asks its windows to close, then ends it when it does not; closes the handle.
void stop(Process& p);

// Polls FindWindowW until the window exists (null after ms).
HWND wait_window(const wchar_t* cls, const wchar_t* title, DWORD ms);

// The lines of a log file (bytes as written, without line ends); empty when it does not exist.
std::vector<std::string> read_log(const std::wstring& path);
// Polls until the log holds a line equal to `line` (true) or ms have passed (false).
bool wait_log_line(const std::wstring& path, const std::string& line, DWORD ms);

// Polls until the process shows a window of the class other than those in except[0..n) (null
// after ms).
HWND wait_process_window(DWORD pid, const wchar_t* cls, const HWND* except, int n, DWORD ms);
// Waits until the window's thread takes messages again (it has finished what it was doing), then
// posts Enter to the control with the keyboard focus of that thread; false when there is none.
bool press_enter(HWND w, DWORD ms);

// What an installation leaves behind.
bool exists(const std::wstring& path);
std::wstring folder(int csidl);  // a shell folder
// A string value of the registry, "-" when absent.
std::wstring reg(HKEY root, const wchar_t* key, const wchar_t* name);
// The windows of zqeditor.exe (their titles end in the read-only mark), each asked to close when
// close is set; returns their count.
int viewers(bool close);
// Removes the records, the uninstall entry, the associations' keys, the links and the settings
// folder that an installation writes (not the installation folder).
void remove_installation_traces();

// Internal multibyte text (code page 932) of a wide string, for comparing with logs.
std::string narrow(const std::wstring& w);

}  // namespace e2e
