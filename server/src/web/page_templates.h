// The pages' HTML, as Mustache templates (every {{value}} is HTML-escaped; the one
// {{{content}}} is the already rendered page body), and the one stylesheet.
#pragma once

#include <kainjow/mustache.hpp>

#include <string>

using PageData = kainjow::mustache::data;

enum class PageTemplate {
  kHome,
  kMessage,
  kSignIn,
  kSignUp,
  kForgot,
  kSetPassword,
  kConfirm,
  kAccount,
};

// The page's body rendered from `data`, inside the common frame: `data` also gives the
// frame's "title", "error", "notice", "csrf", "signedIn" and "signUpOpen".
std::string RenderPage(PageTemplate page, const PageData& data);

// The stylesheet served at /style.css.
const std::string& Stylesheet();
