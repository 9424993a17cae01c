#include "store/lease_owner.h"

#include <unistd.h>

#include <cstdio>
#include <random>

std::string NewLeaseOwnerName() {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::random_device random;
  char name[320];
  std::snprintf(name, sizeof name, "%s:%d:%08x", host, static_cast<int>(getpid()), random());
  return name;
}
