// What a site-check worker needs of the window object that started it: the e-mail
// reminder setting, read at the moment of each decision, and the reminder request.
// Implementations are called from worker threads and must be thread-safe.
#pragma once

#include <string>

class SiteOwner {
 public:
  virtual ~SiteOwner() = default;
  virtual bool EmailReminderOn() const = 0;
  // Asks the account service to e-mail the user; template 1 = failing, 2 = back up.
  // Returns true when the service accepted the request. May take several seconds.
  virtual bool SendReminder(const std::wstring& url, int statusCode, int templateId) = 0;
};
