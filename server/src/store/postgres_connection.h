// The PostgreSQL engine: one connection to a PostgreSQL server through libpq.
#pragma once

#include <memory>
#include <string>

#include "store/sql_connection.h"

// Connects with a libpq connection string ("postgresql://user@host:port/name"); throws
// when the server cannot be reached.
std::unique_ptr<SqlConnection> OpenPostgres(const std::string& connectionString);
