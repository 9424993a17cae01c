// One request as a handler sees it, and the reply it gives: plain data, so that handlers
// know nothing of sockets or of the HTTP library, and tests build both by hand.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct WebRequest {
  std::string method;
  std::string target;  // as sent, with the query
  std::string path;    // the target before '?'
  std::string query;   // after '?', without it
  std::string body;
  std::string peer;    // the socket's own address
  std::string client;  // the client as the trusted proxies report it
  bool chunked = false;
  bool forwarded = false;  // X-Forwarded-For or Forwarded present
  // Header values that handlers read; empty when absent.
  std::string cookie;
  std::string origin;
  std::string secFetchSite;
  std::string forwardedProto;  // X-Forwarded-Proto, only from a trusted proxy
  std::string contentType;
};

// What goes into the service's log line and its request count for this exchange.
struct WebLogFacts {
  std::string action;    // login, getInfo, sendMsg, or the page asked for
  std::string username;  // the account, when one is known
  int status = 0;        // the program's reply status, or the page's HTTP status
  std::string info;
};

struct WebReply {
  int status = 200;
  std::string contentType;
  std::vector<std::pair<std::string, std::string>> headers;  // beyond type, length and close
  std::string body;
  std::optional<WebLogFacts> log;  // nothing: neither logged nor counted (operator pages)

  // The whole reply as written: status line, headers, blank line, body. The connection is
  // always closed after it.
  std::string Wire() const;
};

using WebHandler = std::function<WebReply(const WebRequest&)>;

// Where a route's handler runs. Anything that may wait for the database runs on the
// database threads, under the request's deadline, so a slow database holds up no other
// connection and every request is answered in time ("busy" when it could not be served).
enum class RouteRuns {
  kDatabase,  // the database threads, within database_wait_seconds
  kInline,    // on the connection's own thread: answers from memory only
  kMetrics,   // the metrics page's own thread, never behind the program's requests
  // A few threads of their own for requests that wait seconds for another server (a test
  // message to a vendor): the database threads and connections are never held meanwhile.
  kOutgoing,
};

// One entry of the service's route table: a method and an exact path, and who answers.
struct Route {
  std::string method;
  std::string path;  // with `prefix`, every path that starts with it
  WebHandler handle;
  // True for requests whose answer checks or hashes a password (tens of milliseconds of a
  // core): they run on the low-priority hashing threads, never on a request thread.
  std::function<bool(const WebRequest&)> hashes;
  // The answer when the threads that run it have too much waiting already, or the database
  // could not serve it in time.
  WebHandler busy;
  bool prefix = false;
  RouteRuns runs = RouteRuns::kDatabase;  // where `handle` runs when it does not hash
};
