// The name a background sender writes on the rows it claims for a while (its lease), and
// the clock leases are measured by.
#pragma once

#include <string>

// The host, the process and a random number: no two senders, here or elsewhere, share it.
std::string NewLeaseOwnerName();

// The database's clock in seconds, in each engine's SQL. Claims begin and end by it, which
// every instance shares: an instance whose own clock runs ahead never takes over a claim that
// has not ended, and one whose clock runs behind is not kept from one that has.
#define LEASE_NOW_SQLITE "CAST(strftime('%s', 'now') AS INTEGER)"
#define LEASE_NOW_POSTGRES "CAST(FLOOR(EXTRACT(EPOCH FROM clock_timestamp())) AS BIGINT)"
