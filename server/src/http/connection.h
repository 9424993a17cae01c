// One client connection: reads one request within the limits, answers it, and closes. No
// connection is kept for a second request (the program never reuses one), so nothing a
// client sends after its request is ever read as another.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "http/connection_limiter.h"
#include "http/open_connections.h"
#include "http/route_table.h"
#include "http/sign_in_runner.h"
#include "metrics/service_metrics.h"

class Connection;

// What every connection shares; outlives them all.
struct ConnectionContext {
  const RouteTable& routes;  // the metrics port has only the operator's pages
  SignInRunner& signIns;
  SignInRunner& databaseWork;  // the program's other requests: anything that reads the database
  SignInRunner& metricsWork;   // /metrics, which reads the queue's gauges, never behind the program's requests
  SignInRunner& outgoingWork;  // pages that wait for another server
  std::chrono::milliseconds databaseWait;  // how long a request may wait for the database in all
  std::chrono::milliseconds outgoingWait;  // the same, with an exchange with another server
  OpenConnections<Connection>& open;
  const std::vector<std::string>& trustedProxies;
  ServiceMetrics& metrics;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  // `peer` is the canonical text of the socket's remote address; `slot` its admission.
  Connection(boost::asio::ip::tcp::socket socket, std::string peer, ConnectionLimiter::Slot slot,
             ConnectionContext& context);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Starts reading the request; the connection keeps itself alive until it closes.
  void Start();
  // The service stops: a connection still waiting for its request closes now; one whose
  // request was read is answered, but not after `deadline`. Safe from any thread.
  void Stop(std::chrono::steady_clock::time_point deadline);

  // Deadlines are kept by one sweep over all connections rather than a timer each (a timer
  // costs system calls on every request): Overdue says whether the current one has passed,
  // Expire closes the connection. Both safe from any thread.
  bool Overdue(std::chrono::steady_clock::time_point now) const;
  void Expire();

 private:
  enum class Phase { kReading, kAnswering, kClosing };

  void OnFirstBytes(boost::beast::error_code error, size_t read);
  void OnRead(boost::beast::error_code error);
  void Handle();
  // Runs `route` on a thread of `runner`, where waiting for the database (or hashing a
  // password) holds up no other connection, with every wait bounded by `wait` from now; the
  // route's busy answer when it does not start in time. False when too many requests wait
  // already.
  bool HandOver(SignInRunner& runner, std::chrono::milliseconds wait, const Route& route,
                std::shared_ptr<WebRequest> request);
  void Answer(const WebReply& reply);
  void Send(std::string reply);
  void OnWritten(boost::beast::error_code error);
  void Linger(size_t dropped);
  void Close();
  void WipeInput();

  void SetDeadline(std::chrono::steady_clock::time_point deadline);

  boost::asio::ip::tcp::socket socket_;
  boost::beast::flat_buffer buffer_;
  boost::beast::http::request_parser<boost::beast::http::string_body> parser_;
  std::string reply_;  // the whole reply, head and body
  std::unique_ptr<char[]> drain_;  // for lingering after a refusal
  const std::string peer_;
  std::string client_;
  ConnectionLimiter::Slot slot_;
  ConnectionContext& context_;
  std::chrono::steady_clock::time_point firstByte_;  // requests are timed from here
  std::optional<std::chrono::steady_clock::time_point> stopDeadline_;
  std::atomic<std::chrono::steady_clock::rep> deadline_{0};  // of the current phase
  Phase phase_ = Phase::kReading;
  bool inputLeft_ = false;  // the client sent more than the request that was answered
};
