// The SQLite engine: one connection to the service's database file.
#pragma once

#include <memory>
#include <string>

#include "store/sql_connection.h"

// Opens (creating when missing) the database file in WAL mode with full syncs, so a
// committed row survives a killed process and a power cut. A new file, and a folder made
// for it, are readable by this user only (SQLite gives the journal files the file's
// permissions). A file locked by another connection is waited for up to `busyMilliseconds`
// (or the limit set with LimitWaits) inside SQLite, holding only this connection.
std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path, int busyMilliseconds = 5000);
