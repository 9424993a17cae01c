// The PostgreSQL engine of the service's database: one connection to a server through
// libpq, every statement prepared on its first use and run with bound values.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "store/sql_connection.h"

// How long the service lets a PostgreSQL server, and the network to it, keep it waiting.
// A server that stops answering without closing its connections (a hung machine, a
// dropped route) is noticed by the service's own wait for each answer; these settings let
// the kernel and the server end what the service has given up on.
struct PostgresSettings {
  int keepaliveSeconds = 10;         // an idle connection is probed after this long, then as often; 3 unanswered probes end it
  int userTimeoutSeconds = 10;       // data the server has not acknowledged for this long ends the connection
  int statementTimeoutSeconds = 5;   // the server ends a statement running longer (0: never)
  int lockTimeoutSeconds = 5;        // ... or waiting longer for a lock (0: never)
  // How long a statement waits for the server's answer when its work set no deadline.
  std::chrono::milliseconds answerWait{5000};
};

// Connects as `connectionString` says ("postgresql://user@host:port/name" or libpq's
// "key=value" form), with UTF-8 as the client encoding and `settings` (the string's own
// keepalive, time-out and `options` values win). Throws std::runtime_error ("cannot
// connect to the database: ...") when the string is malformed or the server cannot be
// reached, refuses, or has not let the connection in by `connectBy` (nor by `cutOff`, when
// given, in steady-clock ticks: it may move forward meanwhile); the message never holds
// the password.
std::unique_ptr<SqlConnection> OpenPostgres(
    const std::string& connectionString, const PostgresSettings& settings = {},
    std::chrono::steady_clock::time_point connectBy = std::chrono::steady_clock::now() + std::chrono::seconds(10),
    const std::atomic<int64_t>* cutOff = nullptr);
