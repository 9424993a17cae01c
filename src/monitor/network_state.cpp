#include "monitor/network_state.h"

#include <windows.h>
#include <sensapi.h>
#include <wininet.h>

bool IsNetworkUp() {
  // InternetGetConnectedState fills in the connection flags; whether the network is up
  // is then IsNetworkAlive's answer for those flags.
  DWORD flags = 0;
  InternetGetConnectedState(&flags, 0);
  return IsNetworkAlive(&flags) != FALSE;
}
