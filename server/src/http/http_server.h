// The service's HTTP side: request threads running one event loop (no thread per
// connection), the listener, the connection caps and the sign-in threads.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <memory>
#include <string>

#include "api/account_api.h"
#include "config/service_config.h"
#include "http/connection.h"
#include "http/connection_limiter.h"
#include "http/open_connections.h"
#include "http/operator_pages.h"
#include "http/route_table.h"
#include "http/sign_in_runner.h"

class Listener;

class HttpServer {
 public:
  // `api`, `config` and `metrics` must outlive the server; `probes` serve the operator's
  // pages; `pages` are the routes of the web pages, beside the program's requests.
  // `databaseThreads` run the requests that use the database.
  HttpServer(AccountApi& api, const ServiceConfig& config, ServiceMetrics& metrics, DatabaseProbes probes,
             int databaseThreads, std::vector<Route> pages = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds the configured address and port, and the metrics port when one is set; false
  // with `error` set when it cannot.
  bool Listen(std::string& error);
  // Serves on the request threads (the calling one among them) until Stop has finished.
  void Run();
  // Stops accepting, closes connections still waiting for their request, gives requests
  // already read a short grace to be answered, then ends Run. Safe from any thread; returns
  // when the grace is over or nothing is left open.
  void Stop();

  int RequestThreads() const { return threads_; }
  size_t ConnectionCap() const { return maxConnections_; }

 private:
  // Every quarter second: closes the connections whose deadline has passed.
  void Sweep();

  const ServiceConfig& config_;
  const int threads_;
  const size_t maxConnections_;
  // Declared before the event loop: the connections the loop still holds when it is
  // destroyed refer to these.
  ConnectionLimiter limiter_;
  ConnectionLimiter metricsLimiter_;  // the metrics port's connections, counted apart
  OpenConnections<Connection> open_;
  SignInRunner signIns_;
  SignInRunner databaseWork_;  // the requests that use the database, at the normal priority
  SignInRunner metricsWork_;   // /metrics, one at a time
  SignInRunner outgoingWork_;  // pages that wait for a vendor: a few at once, a few more waiting
  const DatabaseProbes probes_;
  RouteTable routes_;
  RouteTable metricsRoutes_;  // the metrics port's: the operator's pages only
  ConnectionContext context_;
  ConnectionContext metricsContext_;  // the metrics port's, when it has one
  boost::asio::io_context io_;
  std::shared_ptr<Listener> listener_;
  std::shared_ptr<Listener> metricsListener_;
  boost::asio::steady_timer sweep_;
};

// The number of request threads for the `threads` setting: the cores this process may run
// on when it is 0.
int RequestThreadCount(int configured);
