// Waits of background threads that end as soon as the run's flags are raised, so a worker
// between two checks ends at once at Stop instead of finishing its tick.
#pragma once

#include <atomic>

// Sets the flag and wakes every WaitUnlessRaised at once. A flag set directly is seen as
// well, only later: when the wait's time is up.
void RaiseFlag(std::atomic<bool>& flag);

// Returns after the given time, or as soon as stop or quit is raised.
void WaitUnlessRaised(unsigned long milliseconds, const std::atomic<bool>& stop, const std::atomic<bool>& quit);
