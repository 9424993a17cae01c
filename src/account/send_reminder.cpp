#include "account/send_reminder.h"

#include <windows.h>

#include "flags/process_flags.h"
#include "account/account_forms.h"
#include "account/reply_document.h"
#include "storage/settings_fields.h"

namespace {

constexpr int kMaxAttempts = 3;
constexpr int kSecondsBetweenAttempts = 10;  // counted down once before each attempt
constexpr unsigned long kQuitPollMs = 50;

bool Accepted(const ServiceReply& reply) {
  if (reply.code != kPostOk) return false;
  ReplyDocument document;
  return document.Parse(reply.body.Text()) && document.GetInt("status", 0) == 1;
}

// The pause between attempts, cut short once the program is closing. Otherwise the rest
// of a one-second step here and the calling worker's own one-second tick after the
// reminder add up to two seconds before a closing program can end.
void SleepUnlessQuitting(unsigned long milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (ULONGLONG now = GetTickCount64(); now < end && !g_bQuit; now = GetTickCount64()) {
    Sleep(static_cast<DWORD>(end - now < kQuitPollMs ? end - now : kQuitPollMs));
  }
}

}  // namespace

bool SendReminder(const SettingsStore& account, std::wstring machineId, std::wstring siteAddress,
                  int32_t statusCode, int32_t templateId, const ReminderSeams& seams) {
  if (siteAddress.find(L"http") == std::wstring::npos) return false;  // also when empty

  // One snapshot, so a sign-in on the window thread cannot mix two accounts' fields.
  const SettingsRecord record = account.Snapshot();
  const std::optional<std::wstring> form =
      BuildReminderForm(ReadField(record.userName), machineId, record.softType, templateId,
                        statusCode, siteAddress);
  if (!form) return false;
  if (seams.quit) return false;

  int attempts = 0;
  int countdown = 0;
  for (;;) {
    if (attempts == kMaxAttempts) return false;
    if (--countdown > 0) {
      seams.sleep(1000);
    } else {
      countdown = kSecondsBetweenAttempts;
      if (Accepted(seams.transport.Post(kReminderPath, *form))) return true;
      ++attempts;
    }
    if (seams.quit) return false;
  }
}

bool SendReminder(const SettingsStore& account, std::wstring machineId, std::wstring siteAddress,
                  int32_t statusCode, int32_t templateId) {
  WinInetTransport transport({}, &g_bQuit);
  const ReminderSeams seams{transport, SleepUnlessQuitting, g_bQuit};
  return SendReminder(account, std::move(machineId), std::move(siteAddress), statusCode,
                      templateId, seams);
}
