#include "store/postgres_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

struct ClearResult {
  void operator()(PGresult* result) const { PQclear(result); }
};
// A result of libpq, cleared exactly once.
using Result = std::unique_ptr<PGresult, ClearResult>;

struct FreeOptions {
  void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

// A message of libpq on one line, for the log: its line breaks (and the tab that starts
// a hint line) become spaces, and the one at its end goes.
std::string OneLine(const char* message) {
  std::string text;
  for (const char* c = message ? message : ""; *c; ++c) {
    const bool space = *c == '\n' || *c == '\t';
    if (!space) {
      text += *c;
    } else if (!text.empty() && text.back() != ' ') {
      text += ' ';
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The password a connection string holds ("" when none), or nullopt when libpq cannot
// read the string. libpq's own message about a malformed string may quote the part
// holding the password, so it is never passed on.
std::optional<std::string> PasswordIn(const std::string& connectionString) {
  char* error = nullptr;
  const std::unique_ptr<PQconninfoOption, FreeOptions> options(PQconninfoParse(connectionString.c_str(), &error));
  PQfreemem(error);
  if (!options) return std::nullopt;
  for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
    if (std::strcmp(option->keyword, "password") == 0 && option->val) return std::string(option->val);
  }
  return std::string();
}

// `text` with every occurrence of `secret` masked.
std::string Masked(std::string text, const std::string& secret) {
  if (secret.empty()) return text;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at)) {
    text.replace(at, secret.size(), "***");
  }
  return text;
}

bool ChangesRows(const char* commandTag) {
  for (const char* verb : {"INSERT ", "UPDATE ", "DELETE ", "MERGE "}) {
    if (std::strncmp(commandTag, verb, std::strlen(verb)) == 0) return true;
  }
  return false;
}

bool StartsWithCommit(std::string_view sql) {
  const size_t start = sql.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos || sql.size() - start < 6) return false;
  std::string word(sql.substr(start, 6));
  for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return word == "COMMIT";
}

class PostgresConnection final : public SqlConnection {
 public:
  PostgresConnection(PGconn* connection, std::chrono::milliseconds answerWait)
      : connection_(connection), answerWait_(answerWait) {}
  ~PostgresConnection() override { PQfinish(connection_); }
  PostgresConnection(const PostgresConnection&) = delete;
  PostgresConnection& operator=(const PostgresConnection&) = delete;

  Engine Kind() const override { return Engine::Postgres; }

  SqlResult Run(const Query& query, std::span<const SqlValue> values) override {
    const std::string& name = Prepared(query);
    // Every value in text form; a string_view is not terminated, so each is copied.
    std::vector<std::string> texts(values.size());
    std::vector<const char*> pointers(values.size(), nullptr);
    for (size_t i = 0; i < values.size(); ++i) {
      if (const auto* number = std::get_if<int64_t>(&values[i])) {
        texts[i] = std::to_string(*number);
      } else if (const auto* text = std::get_if<std::string_view>(&values[i])) {
        // PostgreSQL's text cannot hold a NUL; cutting the value short there would store
        // something else than was given.
        if (text->find('\0') != std::string_view::npos) {
          throw std::runtime_error("a text value holds a NUL character, which the database cannot store");
        }
        texts[i].assign(*text);
      } else {
        continue;  // SQL NULL
      }
      pointers[i] = texts[i].c_str();
    }
    const bool sent = PQsendQueryPrepared(connection_, name.c_str(), static_cast<int>(values.size()), pointers.data(),
                                          nullptr, nullptr, 0) == 1;
    const Result result = Answer(sent);
    Check(result.get());
    SqlResult answer;
    const int rows = PQntuples(result.get());
    const int columns = PQnfields(result.get());
    answer.rows.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
      std::vector<std::optional<std::string>> fields(static_cast<size_t>(columns));
      for (int column = 0; column < columns; ++column) {
        if (PQgetisnull(result.get(), row, column)) continue;
        fields[static_cast<size_t>(column)].emplace(PQgetvalue(result.get(), row, column),
                                                    static_cast<size_t>(PQgetlength(result.get(), row, column)));
      }
      answer.rows.emplace_back(std::move(fields));
    }
    if (ChangesRows(PQcmdStatus(result.get()))) {
      const std::string_view count = PQcmdTuples(result.get());
      std::from_chars(count.data(), count.data() + count.size(), answer.changed);
    }
    return answer;
  }

  void Exec(std::string_view sql) override {
    const Result result = Answer(PQsendQuery(connection_, std::string(sql).c_str()) == 1);
    Check(result.get());
    // PostgreSQL answers COMMIT of a transaction in which a statement failed by rolling it
    // back without an error: the caller must not take that for a commit.
    if (std::strcmp(PQcmdStatus(result.get()), "ROLLBACK") == 0 && StartsWithCommit(sql)) {
      throw std::runtime_error("the transaction was rolled back: one of its statements had failed");
    }
  }

  void Begin() override {
    // PostgreSQL would only warn and go on inside the open transaction, so that the new
    // work commits or rolls back with the old: refused, as SQLite refuses it.
    if (PQtransactionStatus(connection_) != PQTRANS_IDLE && Usable()) {
      throw std::runtime_error("a transaction is already open on this connection");
    }
    Exec("BEGIN");
  }

  void RollBackOpenTransaction() override {
    const PGTransactionStatusType status = PQtransactionStatus(connection_);
    if (!Usable() || (status != PQTRANS_INTRANS && status != PQTRANS_INERROR)) return;
    try {
      Answer(PQsendQuery(connection_, "ROLLBACK") == 1);
    } catch (const DatabaseBusy&) {
      // The server did not answer in time: the connection is dropped below.
    }
    // A connection still inside a transaction would carry it into the next piece of work:
    // the pool must replace it instead.
    if (PQtransactionStatus(connection_) != PQTRANS_IDLE) abandoned_ = true;
  }

  bool Usable() const override { return !abandoned_ && PQstatus(connection_) == CONNECTION_OK; }

 private:
  // The name of `query`'s prepared statement on this connection, prepared on first use.
  // A query is known by its address; its text's address is checked too, so a query made
  // on the stack where another stood before is prepared anew rather than taken for it.
  const std::string& Prepared(const Query& query) {
    const char* text = query.Text(Engine::Postgres);
    const auto known = statements_.find(&query);
    if (known != statements_.end() && known->second.text == text) return known->second.name;
    std::string name = "s";
    name += std::to_string(++prepared_);
    const Result result = Answer(PQsendPrepare(connection_, name.c_str(), text, 0, nullptr) == 1);
    Check(result.get());
    return statements_.insert_or_assign(&query, Statement{text, std::move(name)}).first->second.name;
  }

  // The result of the statement just sent (`sent` false when it could not be), waiting for
  // it no longer than the wait limit. A server that has not answered by then is given up
  // on: the connection is dropped (the pool opens another) and DatabaseBusy thrown. Of
  // several statements sent at once, the last result counts, as with PQexec.
  Result Answer(bool sent) {
    using Clock = std::chrono::steady_clock;
    if (!sent) return Result(PQmakeEmptyPGresult(connection_, PGRES_FATAL_ERROR));
    const Clock::time_point started = Clock::now();
    Result last;
    while (true) {
      while (PQisBusy(connection_)) {
        // Checked again after each short wait: a stop may move the limit forward.
        const Clock::time_point limit = WaitLimit(started + answerWait_);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now());
        if (left.count() <= 0) {
          abandoned_ = true;
          throw DatabaseBusy("the database server did not answer in time");
        }
        pollfd socket{PQsocket(connection_), POLLIN, 0};
        if (poll(&socket, 1, static_cast<int>(std::min<int64_t>(left.count(), 50))) > 0 &&
            !PQconsumeInput(connection_)) {
          break;  // the connection broke: PQgetResult reports it
        }
      }
      PGresult* next = PQgetResult(connection_);
      if (!next) break;
      last.reset(next);
    }
    return last ? std::move(last) : Result(PQmakeEmptyPGresult(connection_, PGRES_FATAL_ERROR));
  }

  // Throws unless `result` reports success: DatabaseBusy for a lost conflict or a time-out
  // (worth trying again) or a broken connection (the pool opens another), std::runtime_error
  // with the server's message otherwise. The message leaves out the detail line, which
  // may quote the values of a row.
  void Check(const PGresult* result) const {
    const ExecStatusType status = PQresultStatus(result);
    if (result && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY)) return;
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    std::string message = primary ? primary : OneLine(PQerrorMessage(connection_));
    if (state) message += std::string(" (SQLSTATE ") + state + ")";
    // A lost conflict (serialization failure, deadlock), or a statement the server ended for
    // waiting on a lock or running too long (lock_timeout, statement_timeout).
    bool conflict = false;
    for (const char* worthRetrying : {"40001", "40P01", "55P03", "57014"}) {
      conflict = conflict || (state && std::strcmp(state, worthRetrying) == 0);
    }
    if (conflict || PQstatus(connection_) != CONNECTION_OK) throw DatabaseBusy(message);
    throw std::runtime_error(message);
  }

  struct Statement {
    const char* text;
    std::string name;
  };

  PGconn* const connection_;
  const std::chrono::milliseconds answerWait_;
  std::unordered_map<const Query*, Statement> statements_;
  int prepared_ = 0;  // statements prepared so far, for their names
  bool abandoned_ = false;
};

// Waits for libpq's connection steps until `connectBy` (or `cutOff`, checked again after
// each short wait); false when the time ran out.
bool FinishConnecting(PGconn* connection, std::chrono::steady_clock::time_point connectBy,
                      const std::atomic<int64_t>* cutOff) {
  using Clock = std::chrono::steady_clock;
  for (PostgresPollingStatusType status = PGRES_POLLING_WRITING;;) {
    if (status == PGRES_POLLING_OK || status == PGRES_POLLING_FAILED) return true;
    const Clock::time_point limit =
        cutOff ? std::min(connectBy, Clock::time_point(Clock::duration(cutOff->load()))) : connectBy;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now());
    if (left.count() <= 0) return false;
    pollfd socket{PQsocket(connection), static_cast<short>(status == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
    if (socket.fd < 0) return true;  // failed: PQstatus says so
    if (poll(&socket, 1, static_cast<int>(std::min<int64_t>(left.count(), 50))) > 0) status = PQconnectPoll(connection);
  }
}

}  // namespace

std::unique_ptr<SqlConnection> OpenPostgres(const std::string& connectionString, const PostgresSettings& settings,
                                            std::chrono::steady_clock::time_point connectBy,
                                            const std::atomic<int64_t>* cutOff) {
  const std::optional<std::string> password = PasswordIn(connectionString);
  if (!password) throw std::runtime_error("cannot connect to the database: the connection string is malformed");
  const std::string keepalive = std::to_string(settings.keepaliveSeconds);
  const std::string userTimeout = std::to_string(int64_t{settings.userTimeoutSeconds} * 1000);
  const std::string options = "-c statement_timeout=" + std::to_string(settings.statementTimeoutSeconds) +
                              "s -c lock_timeout=" + std::to_string(settings.lockTimeoutSeconds) + "s";
  // The string's own settings override those given before it; the client encoding given
  // after it holds whatever the string says.
  const char* const keywords[] = {"keepalives",        "keepalives_idle", "keepalives_interval",
                                  "keepalives_count",  "tcp_user_timeout", "options",
                                  "dbname",            "client_encoding", nullptr};
  const char* const values[] = {"1",     keepalive.c_str(),          keepalive.c_str(), "3", userTimeout.c_str(),
                                options.c_str(), connectionString.c_str(), "UTF8",            nullptr};
  PGconn* connection = PQconnectStartParams(keywords, values, 1);
  if (!connection) throw std::runtime_error("cannot connect to the database: out of memory");
  const bool finished = PQstatus(connection) == CONNECTION_BAD || FinishConnecting(connection, connectBy, cutOff);
  if (!finished || PQstatus(connection) != CONNECTION_OK) {
    const std::string message =
        finished ? Masked(OneLine(PQerrorMessage(connection)), *password) : "the server did not answer in time";
    PQfinish(connection);
    throw std::runtime_error("cannot connect to the database: " + message);
  }
  // The server's notices and warnings (a shutdown under way, say) would otherwise go to
  // standard error, between the service's own log lines; failures come as exceptions.
  PQsetNoticeProcessor(connection, [](void*, const char*) {}, nullptr);
  return std::make_unique<PostgresConnection>(connection, settings.answerWait);
}
