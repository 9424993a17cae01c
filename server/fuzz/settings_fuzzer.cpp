// A settings file of any content: read line by line, then checked as a whole, and the
// database setting as the log shows it.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "config/ip_address.h"
#include "config/service_config.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
  ServiceConfig config;
  std::string error;
  if (!ReadSettings(file, "tarn.conf", config, error)) {
    FUZZ_REQUIRE(!error.empty());
    return 0;
  }
  CheckServiceConfig(config, error);
  for (const std::string& proxy : config.trustedProxies) FUZZ_REQUIRE(CanonicalIpAddress(proxy) == proxy);
  // The database setting as the log shows it, its password hidden.
  DatabaseSettingForLog(config.database);
  return 0;
}
