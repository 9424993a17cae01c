// Whether the local network is up, as the system sees it.
#pragma once

bool IsNetworkUp();
