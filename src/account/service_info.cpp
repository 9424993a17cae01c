#include "account/service_info.h"

#include <thread>

#include "flags/process_flags.h"
#include "account/account_forms.h"
#include "account/account_messages.h"
#include "account/reply_document.h"
#include "storage/settings_fields.h"

namespace {

constexpr int kFirstCountdown = 10;         // first request after nine one-second steps
constexpr int kShortCycleSeconds = 600;     // while at most two answers have come
constexpr int kLongCycleSeconds = 18000;    // once the service has answered
constexpr int kAnswersForLongCycle = 3;
constexpr size_t kShortestNotice = 6;       // shorter notices are ignored

// Everything the production thread uses, owned by the thread itself.
struct ServiceInfoThreadState {
  ServiceInfoThreadState(std::shared_ptr<SettingsStore> account, std::wstring machineId,
                         HWND mainWindow, std::shared_ptr<const std::atomic<bool>> quitFlag)
      : quit(std::move(quitFlag)),
        transport({}, quit.get()),
        sink(mainWindow),
        poller(std::move(account), std::move(machineId), transport, sink, g_bSignedIn) {}

  std::shared_ptr<const std::atomic<bool>> quit;  // never null
  WinInetTransport transport;
  WindowAccountSink sink;
  ServiceInfoPoller poller;  // refers to the two members above
};

}  // namespace

void WindowAccountSink::PostState(WPARAM state) {
  PostMessageW(window_, WM_ACCOUNTSTATE, state, 0);
}

void WindowAccountSink::SendNotice(const std::wstring& text) {
  SendMessageW(window_, WM_ACCOUNTSTATE, kAccountNotice, reinterpret_cast<LPARAM>(text.c_str()));
}

ServiceInfoPoller::ServiceInfoPoller(std::shared_ptr<SettingsStore> account,
                                     std::wstring machineId, ServiceTransport& transport,
                                     AccountSink& sink, std::atomic<bool>& signedIn)
    : account_(std::move(account)), transport_(transport), sink_(sink), signedIn_(signedIn) {
  const SettingsRecord record = account_->Snapshot();
  form_ = BuildServiceInfoForm(ReadField(record.userName), machineId, record.softType);
}

void ServiceInfoPoller::Run(const SleepFunction& sleep, const std::atomic<bool>& quit) {
  int countdown = kFirstCountdown;
  if (quit) return;
  for (;;) {
    if (--countdown > 0) {
      sleep(1000);
    } else {
      countdown = answerCount_ < kAnswersForLongCycle ? kShortCycleSeconds : kLongCycleSeconds;
      RequestOnce();
    }
    if (quit) return;
  }
}

void ServiceInfoPoller::RequestOnce() {
  if (!form_) return;
  const ServiceReply reply = transport_.Post(kServiceInfoPath, *form_);
  if (reply.code == kPostOk || reply.code == kPostBadStatus) ++answerCount_;
  if (reply.code != kPostOk) return;
  ReplyDocument document;
  if (!document.Parse(reply.body.Text())) return;
  // A parsed reply moves the schedule to the long cycle at once.
  answerCount_ = answerCount_ == 1 ? kAnswersForLongCycle : answerCount_ + 1;
  Apply(document);
}

void ServiceInfoPoller::Apply(ReplyDocument& reply) {
  const int32_t status = reply.GetInt("status", 0);
  const int32_t time = reply.GetInt("time", 0);
  const int32_t expire = reply.GetInt("expire", 0);
  const int32_t update = reply.GetInt("update", 0);
  const int32_t noticeId = reply.GetInt("notice_id", 0);
  const std::wstring notice = reply.GetText("notice_text", L"");
  const bool accepted = status == 1;

  // The record is shared with the window thread: all fields change under its one lock,
  // and the notice number is compared and advanced in the same step.
  bool showNotice = false;
  account_->Update([&](SettingsRecord& record) {
    record.softType = 2;
    if (accepted) {
      record.serviceTime = time;
      record.expireTime = expire;
      record.loginFailed = 0;
    } else {
      record.expireTime = 0;
      record.loginFailed = 1;
    }
    if (noticeId != 0 && notice.size() >= kShortestNotice && noticeId > record.lastNoticeId) {
      record.lastNoticeId = noticeId;
      showNotice = true;
    }
  });
  signedIn_ = accepted;

  sink_.PostState(accepted ? kAccountSignedIn : kAccountSignedOut);
  if (update != 0) sink_.PostState(kAccountNewVersion);
  if (showNotice) sink_.SendNotice(notice);
}

bool StartServiceInfoThread(std::shared_ptr<SettingsStore> account, std::wstring machineId,
                            HWND mainWindow, std::shared_ptr<const std::atomic<bool>> quit) {
  if (!quit) return false;
  try {
    auto state = std::make_shared<ServiceInfoThreadState>(std::move(account), std::move(machineId),
                                                          mainWindow, std::move(quit));
    std::thread([state]() noexcept {
      try {
        state->poller.Run(SleepMilliseconds, *state->quit);
      } catch (...) {
        // Out of memory: the account information simply stops being refreshed.
      }
    }).detach();
    return true;
  } catch (...) {
    return false;
  }
}
