// Which database engine a test runs on: SQLite unless TARN_TEST_ENGINE is "postgresql"
// (the build registers the suites that hold for both engines once for each).
#pragma once

#include <string>

#include "test_folder.h"

class Database;

bool TestingPostgres();
// A fresh database for one test: a file in `folder`, or a new database on the test
// process's private PostgreSQL server.
std::string TestDatabase(const TestFolder& folder);
// Makes the database refuse to mark rows of `table` ("mails", "deliveries") sent, as a full
// disk would, or take the records again.
void RefuseSentRecords(Database& db, const std::string& table, bool refuse);
