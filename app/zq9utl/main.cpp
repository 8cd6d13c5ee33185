// zq9utl.exe: the set-up and utility executable. The entry point fills the applet table and hands
// everything else to the host. No applet registers yet: the set-up applet CAB joins with its
// window, so today the program finds no applet to start and ends at once with exit code 0.

#include <windows.h>

#include "host/host.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // The command line is read whole (GetCommandLineW): its first token is the program's path.
  return host_main(instance, GetCommandLineW(), show);
}
