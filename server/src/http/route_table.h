// Which handler answers a request: a table from method and path to a handler. The
// connection reads the request, looks it up here, runs the handler (on the hashing threads
// when the route says its requests check a password) and writes the reply.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "web/web_exchange.h"

class RouteTable {
 public:
  void Add(Route route);
  // The route for `method` and `path`, or nullptr.
  const Route* Find(std::string_view method, std::string_view path) const;
  // Whether any route has this path (a known path asked with another method).
  bool HasPath(std::string_view path) const;

 private:
  std::vector<Route> routes_;
};
