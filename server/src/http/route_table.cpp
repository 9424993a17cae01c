#include "http/route_table.h"

#include <stdexcept>

void RouteTable::Add(Route route) {
  if (Find(route.method, route.path) && Find(route.method, route.path)->prefix == route.prefix) throw std::logic_error("two routes for " + route.method + " " + route.path);
  routes_.push_back(std::move(route));
}

const Route* RouteTable::Find(std::string_view method, std::string_view path) const {
  const Route* byPrefix = nullptr;
  for (const Route& route : routes_) {
    if (route.method != method) continue;
    if (route.path == path && !route.prefix) return &route;
    if (route.prefix && path.starts_with(route.path)) byPrefix = &route;
  }
  return byPrefix;
}

bool RouteTable::HasPath(std::string_view path) const {
  for (const Route& route : routes_) {
    if (route.path == path) return true;
  }
  return false;
}
