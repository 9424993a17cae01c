// The workers' tick is one second (kept in a file of its own, so that tests and the test
// build of the program can link a shorter one).
#include "monitor/site_check_thread.h"

unsigned long WorkerTickMilliseconds() { return 1000; }
