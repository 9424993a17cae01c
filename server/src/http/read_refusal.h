// What the service answers a request it could not read.
#pragma once

#include <boost/beast/core/error.hpp>

#include <optional>
#include <utility>

// The refusal's text and HTTP status for a request whose reading failed with `error`, or
// nothing when the client is gone or too slow (then there is no one to answer).
std::optional<std::pair<const char*, int>> UnreadableRefusal(boost::beast::error_code error);
