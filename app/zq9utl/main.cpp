// zq9utl.exe (and zqsetup.exe, the same program without the package): the set-up and utility
// executable. The entry point fills the applet table with the set-up applet CAB, the default of
// the command line, and hands everything else to the host.

#include <windows.h>

#include "host/host.h"
#include "setup/cab/cab.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // The uninstall's helper copy: no window, no host.
  int removed = cab_remove_helper(GetCommandLineW());
  if (removed >= 0) return removed;
  applet_register(ID("CAB"), cab_open);
  // The command line is read whole (GetCommandLineW): its first token is the program's path.
  return host_main(instance, GetCommandLineW(), show);
}
