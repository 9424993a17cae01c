#include "http/read_refusal.h"

#include <boost/beast/http/error.hpp>

#include "api/account_api.h"

namespace http = boost::beast::http;

std::optional<std::pair<const char*, int>> UnreadableRefusal(boost::beast::error_code error) {
  if (error == http::error::body_limit) return std::pair{reply_info::kTooLarge, 200};
  if (error == http::error::header_limit || error == http::error::buffer_overflow) {
    return std::pair{reply_info::kTooLarge, 400};
  }
  if (error.category() == boost::beast::error_code(http::error::end_of_stream).category() &&
      error != http::error::end_of_stream &&
      error != http::error::partial_message) {
    return std::pair{reply_info::kMalformed, 400};
  }
  return std::nullopt;
}
