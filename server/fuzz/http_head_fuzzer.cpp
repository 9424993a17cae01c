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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  boost::asio::io_context io;
  beast::test::stream stream(io);
  // The first byte says how many bytes each read gets, as a slow client sends in pieces.
  stream.read_size(1 + data[0] % 128 * (data[0] >= 128 ? 64 : 1));
  stream.append(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  stream.close_remote();

  beast::flat_buffer buffer(kMaxHeaderBytes + kMaxBodyBytes);
  http::request_parser<http::string_body> parser;
  parser.header_limit(kMaxHeaderBytes);
  parser.body_limit(kMaxBodyBytes);
  beast::error_code error;
  http::read(stream, buffer, parser, error);
  if (error) {
    const auto refusal = UnreadableRefusal(error);
    if (refusal) FUZZ_REQUIRE(refusal->second == 200 || refusal->second == 400);
    return 0;
  }

  const auto& request = parser.get();
  FUZZ_REQUIRE(request.body().size() <= kMaxBodyBytes);
  const bool forwarded = request.count("X-Forwarded-For") > 0 || request.count(http::field::forwarded) > 0;
  const OperatorPage page = ReadOperatorPage(request.method_string(), request.target());
  const RequestAction action = ReadRequestAction(request.method_string(), request.target());
  if (action != RequestAction::kUnknown) FUZZ_REQUIRE(request.method_string() == "POST" && page == OperatorPage::kNone);
  if (forwarded) FUZZ_REQUIRE(!MayReadMetrics(MetricsAccess::kLocalOnly, "127.0.0.1", forwarded));

  const std::string client = ClientAddress("127.0.0.1", request["X-Forwarded-For"], kProxies);
  RequireLoggable(client, 256);
  RequireLoggable(request.target(), 64);
  return 0;
}
