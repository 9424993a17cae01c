#include "http/connection.h"

#include <sodium.h>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/range/iterator_range.hpp>

#include <cstdio>
#include <exception>

#include "http/client_address.h"
#include "http/log_line.h"
#include "http/program_routes.h"
#include "http/read_refusal.h"
#include "http/request_limits.h"
#include "store/database.h"

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

using Clock = std::chrono::steady_clock;

// What the first read of a connection may take; the program's whole request fits.
constexpr size_t kFirstRead = 4096;
// How long /metrics waits for the queue's gauges; without them by then it is answered
// without them, so a database that stalls never blinds monitoring.
constexpr std::chrono::seconds kMetricsDatabaseWait{1};

// Every X-Forwarded-For line, in order, as one list. A proxy may add a line of its own
// rather than extend the client's, and then the line it wrote is the last one.
std::string ForwardedForList(const http::request<http::string_body>& request) {
  std::string list;
  for (const auto& field : boost::make_iterator_range(request.equal_range("X-Forwarded-For"))) {
    if (!list.empty()) list += ',';
    list += field.value();
  }
  return list;
}

// The route's answer to a request it could not serve in time.
WebReply BusyReply(const Route& route, const WebRequest& request) {
  if (route.busy) return route.busy(request);
  return ProgramReply(request.path, Refusal(reply_info::kBusy), 503);
}

// The route's answer, or the answer for a failure: "busy" when the database did not answer
// in time, a server error for anything else.
WebReply RunRoute(const Route& route, const WebRequest& request, const char* what) {
  try {
    return route.handle(request);
  } catch (const DatabaseBusy& e) {
    std::fprintf(stderr, "%s: %s\n", what, EscapeLogField(e.what()).c_str());
    return BusyReply(route, request);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", what, EscapeLogField(e.what()).c_str());
    return ProgramReply(request.path, Refusal(reply_info::kServerError), 500);
  }
}

}  // namespace

Connection::Connection(net::ip::tcp::socket socket, std::string peer, ConnectionLimiter::Slot slot,
                       ConnectionContext& context)
    : socket_(std::move(socket)),
      buffer_(kMaxHeaderBytes + kMaxBodyBytes),
      peer_(std::move(peer)),
      slot_(std::move(slot)),
      context_(context) {}

Connection::~Connection() { context_.open.Remove(this); }

void Connection::Start() {
  firstByte_ = Clock::now();
  SetDeadline(firstByte_ + kRequestDeadline);
  parser_.header_limit(kMaxHeaderBytes);
  parser_.body_limit(kMaxBodyBytes);
  // The first bytes are read on their own, so that a request is timed from when it began
  // to arrive: the log and the histogram then show a slow client and a slow answer alike.
  socket_.async_read_some(buffer_.prepare(kFirstRead), [self = shared_from_this()](beast::error_code error,
                                                                                   size_t read) {
    self->OnFirstBytes(error, read);
  });
  // Only now can a stop or the sweep reach the connection: this runs on the listener's
  // strand, not the connection's, and a close from another thread must not meet the read
  // being started.
  context_.open.Add(shared_from_this());
}

void Connection::OnFirstBytes(beast::error_code error, size_t read) {
  if (phase_ != Phase::kReading) return;
  firstByte_ = Clock::now();
  buffer_.commit(read);
  if (error) return Close();  // gone before a byte came: no one to answer
  http::async_read(socket_, buffer_, parser_,
                   [self = shared_from_this()](beast::error_code error, size_t) { self->OnRead(error); });
}

void Connection::Stop(Clock::time_point deadline) {
  net::dispatch(socket_.get_executor(), [self = shared_from_this(), deadline] {
    self->stopDeadline_ = deadline;
    if (self->phase_ == Phase::kReading) return self->Close();
    if (!self->Overdue(deadline)) self->SetDeadline(deadline);
  });
}

bool Connection::Overdue(Clock::time_point now) const {
  return deadline_.load(std::memory_order_relaxed) <= now.time_since_epoch().count();
}

void Connection::Expire() {
  // Closing the socket ends the read or write under way; its handler then lets go.
  net::dispatch(socket_.get_executor(), [self = shared_from_this()] { self->Close(); });
}

void Connection::SetDeadline(Clock::time_point deadline) {
  deadline_.store(deadline.time_since_epoch().count(), std::memory_order_relaxed);
}

void Connection::OnRead(beast::error_code error) {
  if (phase_ != Phase::kReading) return;
  phase_ = Phase::kAnswering;
  SetDeadline(Clock::now() + kReplyDeadline);
  client_ = peer_;
  if (!error) return Handle();
  const auto refusal = UnreadableRefusal(error);
  if (!refusal || stopDeadline_) return Close();
  inputLeft_ = true;
  Answer(ProgramReply("unreadable", Refusal(refusal->first), refusal->second));
}

void Connection::Handle() {
  auto& request = parser_.get();
  WebRequest web;
  web.method = std::string(request.method_string());
  web.target = std::string(request.target());
  const size_t question = web.target.find('?');
  web.path = web.target.substr(0, question);
  if (question != std::string::npos) web.query = web.target.substr(question + 1);
  web.peer = peer_;
  web.forwarded = request.count("X-Forwarded-For") > 0 || request.count(http::field::forwarded) > 0;
  web.client = client_ = ClientAddress(peer_, ForwardedForList(request), context_.trustedProxies);
  web.chunked = parser_.chunked();
  web.cookie = std::string(request[http::field::cookie]);
  web.origin = std::string(request[http::field::origin]);
  web.secFetchSite = std::string(request["Sec-Fetch-Site"]);
  web.contentType = std::string(request[http::field::content_type]);
  if (IsTrustedProxy(peer_, context_.trustedProxies)) web.forwardedProto = std::string(request["X-Forwarded-Proto"]);
  web.body = std::move(request.body());
  WipeInput();

  const Route* route = context_.routes.Find(web.method, web.path);
  if (!route) return Answer(UnknownRequest(web));
  if (route->runs == RouteRuns::kInline && !(route->hashes && route->hashes(web))) {
    return Answer(RunRoute(*route, web, "request failed"));
  }
  // The form may hold a password: wiped when the last copy goes, run or refused.
  std::shared_ptr<WebRequest> held(new WebRequest(std::move(web)), [](WebRequest* form) {
    sodium_memzero(form->body.data(), form->body.size());
    delete form;
  });
  if (route->hashes && route->hashes(*held)) {
    if (!HandOver(context_.signIns, context_.databaseWait, *route, held)) Answer(BusyReply(*route, *held));
    return;
  }
  if (route->runs == RouteRuns::kMetrics) {
    // The page is rendered however long the gauges took: without them when they were late.
    if (!HandOver(context_.metricsWork, kMetricsDatabaseWait, *route, held)) Close();
    return;
  }
  if (route->runs == RouteRuns::kOutgoing) {
    if (!HandOver(context_.outgoingWork, context_.outgoingWait, *route, held)) Answer(BusyReply(*route, *held));
    return;
  }
  if (!HandOver(context_.databaseWork, context_.databaseWait, *route, held)) Answer(BusyReply(*route, *held));
}

bool Connection::HandOver(SignInRunner& runner, std::chrono::milliseconds wait, const Route& route,
                          std::shared_ptr<WebRequest> request) {
  // The executor marks the connection's strand as having work outstanding, so the request
  // threads keep running until the answer has been posted back.
  auto executor = net::prefer(socket_.get_executor(), net::execution::outstanding_work.tracked);
  const Clock::time_point deadline = Clock::now() + wait;
  SetDeadline(deadline + kReplyDeadline);  // the work answers by its deadline; the sweep only if it did not
  const bool always = route.runs == RouteRuns::kMetrics;
  return runner.Submit([self = shared_from_this(), executor, deadline, request, &route, always] {
    const WaitDeadline bounded(deadline);
    WebReply reply = always || Clock::now() < deadline ? RunRoute(route, *request, "request failed")
                                                       : BusyReply(route, *request);
    net::post(executor, [self, reply = std::move(reply)] { self->Answer(reply); });
  });
}

void Connection::Answer(const WebReply& reply) {
  if (reply.log) {
    const std::chrono::duration<double> taken = Clock::now() - firstByte_;
    const WebLogFacts& facts = *reply.log;
    WriteLogLine(RequestLogEntry{client_, facts.action, facts.username, facts.status, facts.info, taken.count() * 1000});
    context_.metrics.CountRequest(facts.action, facts.status, taken.count());
  }
  Send(reply.Wire());
}

void Connection::Send(std::string reply) {
  reply_ = std::move(reply);
  SetDeadline(stopDeadline_ ? std::min(*stopDeadline_, Clock::now() + kReplyDeadline) : Clock::now() + kReplyDeadline);
  net::async_write(socket_, net::buffer(reply_),
                   [self = shared_from_this()](beast::error_code error, size_t) { self->OnWritten(error); });
}

void Connection::OnWritten(beast::error_code error) {
  // The whole request was read: closing sends the end of the reply.
  if (error || !inputLeft_) return Close();
  // Closing a socket with unread input resets the connection, and the client may lose the
  // answer: end the reply, then read what is left for a short while.
  beast::error_code ignored;
  socket_.shutdown(net::ip::tcp::socket::shutdown_send, ignored);
  phase_ = Phase::kClosing;
  drain_ = std::make_unique<char[]>(4096);
  SetDeadline(Clock::now() + kLingerTime);
  Linger(0);
}

void Connection::Linger(size_t dropped) {
  if (dropped >= kLingerBytes) return Close();
  socket_.async_read_some(net::buffer(drain_.get(), 4096),
                          [self = shared_from_this(), dropped](beast::error_code error, size_t read) {
                            if (error) return self->Close();
                            self->Linger(dropped + read);
                          });
}

void Connection::Close() {
  phase_ = Phase::kClosing;
  beast::error_code ignored;
  socket_.close(ignored);
}

void Connection::WipeInput() {
  // The sign-in form holds the password: leave no copy of the raw request in the buffer.
  inputLeft_ = buffer_.size() > 0;
  buffer_.clear();
  const auto whole = buffer_.prepare(buffer_.capacity());
  sodium_memzero(whole.data(), whole.size());
}
