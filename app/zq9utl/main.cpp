// zq9utl.exe (and zqsetup.exe, the same program without the package): the set-up and utility
// executable. The entry point fills the applet table with the set-up applet CAB, the default of
// the command line, and hands everything else to the host.

#include <windows.h>

#include "cab/cab.h"
#include "host/host.h"
#include "host/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  applet_register(ID("CAB"), cab_open);
  // The command line is read whole (GetCommandLineW), once, by the host: its first token is the
  // program's path. The set-up applet gets its records through its entry.
  return host_main(instance, GetCommandLineW(), show);
}
