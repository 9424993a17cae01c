// Accepts connections and admits each under the connection caps: one over a cap is closed
// at once, before anything is read from it.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <memory>
#include <string>

#include "http/connection.h"
#include "http/connection_limiter.h"

class Listener : public std::enable_shared_from_this<Listener> {
 public:
  Listener(boost::asio::io_context& io, ConnectionLimiter& limiter, ConnectionContext& context);

  // Binds and listens; false with `error` set when it cannot.
  bool Open(const std::string& address, int port, std::string& error);
  void Accept();
  // Stops accepting. Safe from any thread.
  void Stop();

 private:
  void OnAccepted(boost::system::error_code error, boost::asio::ip::tcp::socket socket);

  boost::asio::io_context& io_;
  ConnectionLimiter& limiter_;
  ConnectionContext& context_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer pause_;  // after running out of file descriptors
  boost::asio::ip::tcp::endpoint peer_;  // of the connection being accepted
};
