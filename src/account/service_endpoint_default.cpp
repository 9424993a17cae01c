// The account service as the build names it (kept in a file of its own, so that a test
// build of the program can link another host and port in its place).
#include "build_config.h"
#include "account/service_post.h"

std::wstring DefaultServiceHost() { return build_config::kServiceHost; }
unsigned short DefaultServicePort() { return build_config::kServicePort; }
