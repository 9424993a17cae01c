// What one check of a site's address gives the worker.
#pragma once

enum class HttpCheckResult {
  kInitFailed,  // the HTTP layer could not be initialised
  kOpenFailed,  // the address did not open: bad address, refused, timed out, lost
  kStatusRead,  // the request was answered and the status code text was read
  kQueryFailed, // the request was answered but the status code could not be read
  kAbandoned,   // the run ended while the check was under way; nothing is known
};

struct HttpCheckOutcome {
  HttpCheckResult result = HttpCheckResult::kOpenFailed;
  int status = 0;  // the status text as a leading decimal number; 0 when empty or unread
};
