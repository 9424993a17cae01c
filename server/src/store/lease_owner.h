// The name a background sender writes on the rows it claims for a while (its lease).
#pragma once

#include <string>

// The host, the process and a random number: no two senders, here or elsewhere, share it.
std::string NewLeaseOwnerName();
