// The HTTP side of the service: routes the program's POSTs to the account API, limits the
// body, and logs one line per request.
#pragma once

#include <httplib.h>

#include "api/account_api.h"

// The largest form body read: the program's forms are at most 259 characters (518 bytes).
inline constexpr size_t kMaxBodyBytes = 2048;

// Sets up the routes on `server`; `api` must outlive it.
void InstallRoutes(httplib::Server& server, AccountApi& api, const ServiceConfig& config);
