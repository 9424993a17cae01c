// tarn-account-seed: the accounts of the outage benchmark, made directly in the database
// (an operator's `add` hashes each password, which for thousands of accounts takes minutes).
//
//   tarn-account-seed DATABASE MACHINES
// Adds the accounts outage0@load.test ... (MACHINES of them, one password for all, service
// for a year) and signs in machine OUTAGE-N to account N, as tarn-account-load's outage
// expects them.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>

#include "api/password_hash.h"
#include "store/account_store.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[2]) <= 0) {
    std::fprintf(stderr, "usage: %s DATABASE MACHINES\n", argv[0]);
    return 2;
  }
  try {
    InitPasswordHashing();
    const auto hash = HashPassword("bench-pass");
    Database db(argv[1]);
    AccountStore accounts(db);
    const int64_t now = std::time(nullptr);
    const int machines = std::atoi(argv[2]);
    for (int n = 0; n < machines; ++n) {
      const std::string email = "outage" + std::to_string(n) + "@load.test";
      if (!hash || !accounts.Add(email, *hash, now, now + 365 * 86400) ||
          !accounts.RecordMachine(accounts.Find(email)->id, *hash, "OUTAGE-" + std::to_string(n), now, 0)) {
        std::fprintf(stderr, "%s: not added\n", email.c_str());
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
