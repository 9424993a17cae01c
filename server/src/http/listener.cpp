#include "http/listener.h"

#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>

#include <cerrno>

#include "config/ip_address.h"
#include "http/client_address.h"

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// The canonical text of the peer's address: IPv4 even when it reached an IPv6 socket.
std::string PeerAddress(const tcp::endpoint& peer) {
  net::ip::address address = peer.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    address = net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6());
  }
  return address.to_string();
}

}  // namespace

Listener::Listener(net::io_context& io, ConnectionLimiter& limiter, ConnectionContext& context)
    : io_(io), limiter_(limiter), context_(context), acceptor_(net::make_strand(io)), pause_(acceptor_.get_executor()) {}

bool Listener::Open(const std::string& address, int port, std::string& error) {
  boost::system::error_code code;
  const net::ip::address ip = net::ip::make_address(address, code);
  if (code) {
    error = "listen is not an IP address: " + address;
    return false;
  }
  const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
  acceptor_.open(endpoint.protocol(), code);
  if (!code) acceptor_.set_option(tcp::acceptor::reuse_address(true), code);
  if (!code) acceptor_.bind(endpoint, code);
  if (!code) acceptor_.listen(net::socket_base::max_listen_connections, code);
  if (code) {
    error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + code.message();
    return false;
  }
  return true;
}

void Listener::Accept() {
  acceptor_.async_accept(net::make_strand(io_), peer_,
                         [self = shared_from_this()](boost::system::error_code error, tcp::socket socket) {
                           self->OnAccepted(error, std::move(socket));
                         });
}

void Listener::OnAccepted(boost::system::error_code error, tcp::socket socket) {
  if (error == net::error::operation_aborted || !acceptor_.is_open()) return;
  if (error == net::error::no_descriptors || error.value() == ENFILE || error == net::error::no_buffer_space ||
      error == net::error::no_memory) {
    // Accepting again at once would only spin: give closing connections a moment.
    pause_.expires_after(std::chrono::milliseconds(50));
    pause_.async_wait([self = shared_from_this()](boost::system::error_code) { self->Accept(); });
    return;
  }
  if (!error) {
    std::string peer = PeerAddress(peer_);
    if (auto slot = limiter_.Admit(AddressForLimits(peer), IsTrustedProxy(peer, context_.trustedProxies))) {
      std::make_shared<Connection>(std::move(socket), std::move(peer), std::move(slot), context_)->Start();
    } else {
      boost::system::error_code ignored;
      socket.close(ignored);
    }
  }
  Accept();
}

void Listener::Stop() {
  net::post(acceptor_.get_executor(), [self = shared_from_this()] {
    boost::system::error_code ignored;
    self->acceptor_.close(ignored);
    self->pause_.cancel();
  });
}
