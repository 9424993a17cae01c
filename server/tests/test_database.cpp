#include "test_database.h"

#include <cstdlib>

#include "postgres_server.h"
#include "store/database.h"

bool TestingPostgres() {
  const char* engine = std::getenv("TARN_TEST_ENGINE");
  return engine && std::string(engine) == "postgresql";
}

std::string TestDatabase(const TestFolder& folder) {
  return TestingPostgres() ? PostgresServer::Shared().CreateDatabase() : folder.Path() + "/accounts.db";
}

void RefuseSentRecords(Database& db, const std::string& table, bool refuse) {
  db.WithConnection([&](SqlConnection& sql) {
    const bool postgres = sql.Kind() == Engine::Postgres;
    if (!refuse) return sql.Exec(postgres ? "DROP TRIGGER refuse_sent ON " + table : "DROP TRIGGER refuse_sent");
    sql.Exec(postgres ? "CREATE OR REPLACE FUNCTION refuse_sent() RETURNS trigger LANGUAGE plpgsql AS "
                        "$$ BEGIN RAISE EXCEPTION 'disk full'; END $$; "
                        "CREATE TRIGGER refuse_sent BEFORE UPDATE ON " + table + " FOR EACH ROW "
                        "WHEN (NEW.state = 'sent') EXECUTE FUNCTION refuse_sent()"
                      : "CREATE TRIGGER refuse_sent BEFORE UPDATE ON " + table + " WHEN NEW.state = 'sent' "
                        "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
  });
}
