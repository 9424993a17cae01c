// A request as a client sends it, read the way a connection reads it (the same parser,
// buffer and limits, in pieces of a size the input chooses), then what the service takes
// from it: the refusal for an unreadable request, the operator page, the program's action,
// the client behind the proxies and the log line.
#include <boost/asio/io_context.hpp>
#include <boost/beast/_experimental/test/stream.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "http/client_address.h"
#include "http/log_line.h"
#include "http/operator_pages.h"
#include "http/read_refusal.h"
#include "http/request_action.h"
#include "http/request_limits.h"

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

const std::vector<std::string> kProxies = {"127.0.0.1"};

// A field written to the log may hold nothing that starts a line or passes for another field.
void RequireLoggable(std::string_view text, size_t limit) {
  const std::string field = EscapeLogField(text, limit);
  FUZZ_REQUIRE(IsUtf8(field));
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    FUZZ_REQUIRE(byte > 0x20 && byte != 0x7F && c != '[' && c != ']' && c != '"');
  }
}

// What reading `bytes` left: the error, or the parts of the request the service uses.
struct ReadOutcome {
  beast::error_code error;
  std::string method, target, forwardedFor, body;
  bool forwarded = false, chunked = false;
};

ReadOutcome Read(std::string_view bytes, size_t readSize) {
  boost::asio::io_context io;
  beast::test::stream stream(io);
  stream.read_size(readSize);
  stream.append(bytes);
  stream.close_remote();
  beast::flat_buffer buffer(kMaxHeaderBytes + kMaxBodyBytes);
  http::request_parser<http::string_body> parser;
  parser.header_limit(kMaxHeaderBytes);
  parser.body_limit(kMaxBodyBytes);
  ReadOutcome outcome;
  http::read(stream, buffer, parser, outcome.error);
  if (outcome.error) return outcome;
  const auto& request = parser.get();
  outcome.method = request.method_string();
  outcome.target = request.target();
  outcome.forwardedFor = request["X-Forwarded-For"];
  outcome.forwarded = request.count("X-Forwarded-For") > 0 || request.count(http::field::forwarded) > 0;
  outcome.chunked = parser.chunked();
  outcome.body = request.body();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  // The first byte says how many bytes each read gets, as a slow client sends in pieces;
  // how the bytes arrive must not change what is read. (Which refusal a request cut short
  // gets may: the parser finds some faults only once it has a whole line.)
  const ReadOutcome outcome = Read(bytes, 1 + data[0] % 128 * (data[0] >= 128 ? 64 : 1));
  const ReadOutcome whole = Read(bytes, bytes.size() + 1);
  FUZZ_REQUIRE(!outcome.error == !whole.error);
  FUZZ_REQUIRE(outcome.target == whole.target && outcome.body == whole.body &&
               outcome.forwardedFor == whole.forwardedFor && outcome.chunked == whole.chunked);
  if (outcome.error) return 0;

  FUZZ_REQUIRE(outcome.body.size() <= kMaxBodyBytes);
  const OperatorPage page = ReadOperatorPage(outcome.method, outcome.target);
  const RequestAction action = ReadRequestAction(outcome.method, outcome.target);
  if (action != RequestAction::kUnknown) FUZZ_REQUIRE(outcome.method == "POST" && page == OperatorPage::kNone);
  if (outcome.forwarded) FUZZ_REQUIRE(!MayReadMetrics(MetricsAccess::kLocalOnly, "127.0.0.1", true));

  const std::string client = ClientAddress("127.0.0.1", outcome.forwardedFor, kProxies);
  RequireLoggable(client, 256);
  RequireLoggable(outcome.target, 64);
  return 0;
}
