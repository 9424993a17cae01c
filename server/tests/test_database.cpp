#include "test_database.h"

#include <cstdlib>

#include "postgres_server.h"

bool TestingPostgres() {
  const char* engine = std::getenv("TARN_TEST_ENGINE");
  return engine && std::string(engine) == "postgresql";
}

std::string TestDatabase(const TestFolder& folder) {
  return TestingPostgres() ? PostgresServer::Shared().CreateDatabase() : folder.Path() + "/accounts.db";
}
