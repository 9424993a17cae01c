// Lets a test stand in for the system's network state. Wine always reports the network
// up, so a test of a network loss replaces the probe behind IsNetworkUpShared with its
// own. Only test code calls this; the program never does and always asks the system.
#pragma once

using NetworkProbe = bool (*)();

// From the next probe on (within the shared answer's half second), IsNetworkUpShared
// answers with probe() instead of IsNetworkUp(); nullptr gives the system back.
// Thread-safe.
void OverrideNetworkProbeForTests(NetworkProbe probe) noexcept;
