// The account service of a test build of the program: a local test server on 127.0.0.1
// at the port the build names. Linked in place of the program's own endpoint (an object
// given to the executable comes before the library that holds the default one).
#include "service/service_post.h"

#ifndef TARN_TEST_SERVICE_PORT
#error "TARN_TEST_SERVICE_PORT names the port of the local account service"
#endif

std::wstring DefaultServiceHost() { return L"127.0.0.1"; }
unsigned short DefaultServicePort() { return TARN_TEST_SERVICE_PORT; }
