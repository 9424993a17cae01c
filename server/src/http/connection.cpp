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

// `run`'s reply, or the refusal for a failure: "busy" when the database did not answer in time.
ApiReply ReplyOrRefusal(const char* what, const std::function<ApiReply()>& run) {
  try {
    return run();
  } catch (const DatabaseBusy& e) {
    std::fprintf(stderr, "%s: %s\n", what, EscapeLogField(e.what()).c_str());
    return Refusal(reply_info::kBusy);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", what, EscapeLogField(e.what()).c_str());
    return Refusal(reply_info::kServerError);
  }
}

// The whole reply: the head, then the body.
std::string ReplyText(int httpStatus, std::string_view contentType, std::string_view body) {
  const char* reason = httpStatus == 200   ? "OK"
                       : httpStatus == 404 ? "Not Found"
                       : httpStatus == 503 ? "Service Unavailable"
                                           : "Bad Request";
  return "HTTP/1.1 " + std::to_string(httpStatus) + " " + reason + "\r\nContent-Type: " + std::string(contentType) +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         std::string(body);
}

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
  action_ = "unreadable";
  Answer(Refusal(refusal->first), refusal->second);
}

void Connection::Handle() {
  auto& request = parser_.get();
  const OperatorPage page = ReadOperatorPage(request.method_string(), request.target());
  const bool forwarded = request.count("X-Forwarded-For") > 0 || request.count(http::field::forwarded) > 0;
  RequestAction action = ReadRequestAction(request.method_string(), request.target());
  if (!context_.programRequests) action = RequestAction::kUnknown;
  requestAction_ = action;
  action_ = action == RequestAction::kUnknown ? std::string(request.target()) : ActionName(action);
  client_ = ClientAddress(peer_, ForwardedForList(request), context_.trustedProxies);
  std::string body = std::move(request.body());
  WipeInput();

  // The operator's pages are neither logged nor counted: a load balancer's and a scraper's
  // polling would drown the program's requests. /healthz answers from what is known
  // already; /metrics asks the database for the queue's gauges.
  if (page == OperatorPage::kHealth) {
    const OperatorReply answer = AnswerOperatorPage(page, context_.metrics, context_.probes);
    return Send(ReplyText(answer.httpStatus, answer.contentType, answer.body));
  }
  if (page == OperatorPage::kMetrics && MayReadMetrics(context_.metricsAccess, peer_, forwarded)) {
    auto render = [self = shared_from_this(), page](bool) {
      OperatorReply answer = AnswerOperatorPage(page, self->context_.metrics, self->context_.probes);
      return [self, answer = std::move(answer)] {
        self->Send(ReplyText(answer.httpStatus, answer.contentType, answer.body));
      };
    };
    const bool queued = HandOverToDatabase(context_.metricsWork, kMetricsDatabaseWait, std::move(render));
    if (!queued) Close();
    return;
  }
  if (action == RequestAction::kUnknown) return Answer(Refusal(reply_info::kUnknownRequest), 404);
  // The program always says how long its form is; a chunked body is not the program talking.
  if (parser_.chunked()) return Answer(Refusal(reply_info::kMalformed), 400);
  if (action == RequestAction::kLogin) return HandOverSignIn(std::move(body), client_);

  auto serve = [self = shared_from_this(), action, body = std::move(body)](bool inTime) {
    const ApiReply reply = !inTime ? Refusal(reply_info::kBusy) : ReplyOrRefusal("request failed", [&] {
      return action == RequestAction::kGetInfo ? self->context_.api.GetInfo(body) : self->context_.api.SendMsg(body);
    });
    return [self, reply] { self->Answer(reply, 200); };
  };
  const bool queued = HandOverToDatabase(context_.databaseWork, context_.databaseWait, std::move(serve));
  if (!queued) Answer(Refusal(reply_info::kBusy), 200);
}

bool Connection::HandOverToDatabase(SignInRunner& runner, std::chrono::milliseconds wait, DatabaseWork work) {
  // The executor marks the connection's strand as having work outstanding, so the request
  // threads keep running until the answer has been posted back.
  auto executor = net::prefer(socket_.get_executor(), net::execution::outstanding_work.tracked);
  const Clock::time_point deadline = Clock::now() + wait;
  SetDeadline(deadline + kReplyDeadline);  // the work answers by its deadline; the sweep only if it did not
  return runner.Submit([executor, deadline, work = std::move(work)] {
    const WaitDeadline bounded(deadline);
    net::post(executor, work(Clock::now() < deadline));
  });
}

void Connection::HandOverSignIn(std::string body, std::string client) {
  // The executor marks the connection's strand as having work outstanding, so the request
  // threads keep running until the answer has been posted back.
  auto executor = net::prefer(socket_.get_executor(), net::execution::outstanding_work.tracked);
  // The form holds the password: wiped when the last copy goes, run or refused.
  std::shared_ptr<std::string> form(new std::string(std::move(body)), [](std::string* text) {
    sodium_memzero(text->data(), text->size());
    delete text;
  });
  const Clock::time_point deadline = Clock::now() + context_.databaseWait;
  SetDeadline(deadline + kReplyDeadline);
  const bool queued = context_.signIns.Submit([self = shared_from_this(), executor, form, client = std::move(client),
                                               deadline] {
    const WaitDeadline bounded(deadline);
    ApiReply reply = Clock::now() >= deadline ? Refusal(reply_info::kBusy) : ReplyOrRefusal("sign-in failed", [&] {
      return self->context_.api.Login(*form, client);
    });
    net::post(executor, [self, reply = std::move(reply)] { self->Answer(reply, 200); });
  });
  if (!queued) Answer(Refusal(reply_info::kBusy), 200);
}

void Connection::Answer(const ApiReply& reply, int httpStatus) {
  const std::chrono::duration<double> taken = Clock::now() - firstByte_;
  WriteLogLine(RequestLogEntry{client_, action_, reply.username, reply.status, reply.info, taken.count() * 1000});
  context_.metrics.CountRequest(ActionName(requestAction_), reply.status, taken.count());
  Send(ReplyText(httpStatus, "application/json; charset=utf-8", reply.json));
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
