// The rules that keep the pages safe, as plain functions: who may be shown a page that
// takes a password, whether a form comes from the pages themselves, the cookies, the
// random tokens and their hashes, the headers every page carries.
#pragma once

#include <string>
#include <string_view>

#include "web/web_exchange.h"

// Pages that take a password are served only over HTTPS as a trusted proxy reports it
// (X-Forwarded-Proto, read only from trust_proxy addresses), or straight to a client on
// this machine that nothing forwarded.
bool ServesPasswords(const WebRequest& request);

// "https://host:port" of a URL: its scheme and authority.
std::string OriginOf(std::string_view url);

// A form posted by the pages themselves: Sec-Fetch-Site, when sent, says same-origin, and
// Origin, when sent, is the pages' own (or "null", which a browser sends for the pages'
// own forms under no-referrer, and then only with Sec-Fetch-Site same-origin). A browser
// sends at least one of them with every form; their absence is left to the CSRF token.
bool FromOwnPages(const WebRequest& request, const std::string& ownOrigin);

// The value of cookie `name` in a Cookie header; "" when absent.
std::string CookieValue(std::string_view header, std::string_view name);

// A Set-Cookie value: HttpOnly, SameSite=Lax, Path=/, and Secure when `secure`.
// `maxAgeSeconds` < 0: until the browser closes; 0: deletes the cookie.
std::string CookieHeader(const std::string& name, const std::string& value, long long maxAgeSeconds, bool secure);

// 32 random bytes in URL-safe Base64 without padding (43 characters).
std::string RandomToken();
// The SHA-256 of a token in hex: what the database keeps.
std::string TokenHash(std::string_view token);
// Equal tokens, compared in time that does not depend on where they differ.
bool SameToken(std::string_view a, std::string_view b);

// Content-Security-Policy (no inline script or style, no framing), nosniff, no referrer;
// and no-store when the page is private.
void AddPageHeaders(WebReply& reply, bool privatePage);
