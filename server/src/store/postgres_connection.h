// The PostgreSQL engine of the service's database: one connection to a server through
// libpq, every statement prepared on its first use and run with bound values.
#pragma once

#include <memory>
#include <string>

#include "store/sql_connection.h"

// Connects as `connectionString` says ("postgresql://user@host:port/name" or libpq's
// "key=value" form), with UTF-8 as the client encoding. Throws std::runtime_error
// ("cannot connect to the database: ...") when the string is malformed or the server
// cannot be reached or refuses; the message never holds the password.
std::unique_ptr<SqlConnection> OpenPostgres(const std::string& connectionString);
