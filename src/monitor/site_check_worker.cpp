#include "monitor/site_check_worker.h"

#include "monitor/monitor_events.h"

namespace {

std::wstring Num(int value) { return std::to_wstring(value); }

// Statuses below 200 or from 600 up (0 included) say nothing by their class: they
// count as a success when the status could be read at all.
bool IsSuccess(const HttpCheckOutcome& outcome) {
  switch (outcome.status / 100) {
    case 2:
    case 3:
      return true;
    case 4:
    case 5:
      return false;
    default:
      return outcome.result == HttpCheckResult::kStatusRead;
  }
}

}  // namespace

SiteCheckWorker::SiteCheckWorker(const SiteEntry& entry, WorkerPlatform& platform, const std::atomic<bool>& stop,
                                 const std::atomic<bool>& quit)
    : index_(entry.index),
      interval_(entry.interval),
      retryCount_(entry.retryCount),
      retryInterval_(entry.retryInterval),
      url_(entry.url),
      platform_(platform),
      stop_(stop),
      quit_(quit) {}

void SiteCheckWorker::Run() {
  if (Begin()) {
    while (RunPass()) {
    }
  }
  Finish();
}

bool SiteCheckWorker::Begin() {
  if (quit_) return false;
  checkCountdown_ = interval_;
  nextCheckCountdown_ = interval_;
  networkDown_ = false;
  httpRetries_ = openRetries_ = failStreak_ = successStreak_ = lastStatus_ = 0;
  recovering_ = false;
  return true;
}

bool SiteCheckWorker::RunPass() {
  if (stop_) return false;

  if (!platform_.IsNetworkUp()) {
    // The countdown pauses while the network is down; the window hears of it every second.
    networkDown_ = true;
    platform_.PostEvent(EV_NET_DOWN);
    platform_.Trace(L"网络不通");
    platform_.SleepTick();
    return !quit_;
  }
  if (networkDown_) {
    platform_.PostEvent(EV_NET_UP);
    platform_.Trace(L"网络恢复正常");
    networkDown_ = false;
  }

  if (--checkCountdown_ > 0) {
    platform_.SleepTick();
    return !quit_;
  }
  if (RunCheck() == CheckEnd::kExit) return false;
  platform_.SleepTick();
  checkCountdown_ = nextCheckCountdown_;
  return !quit_;
}

void SiteCheckWorker::Finish() {
  platform_.Trace(L"线程退出");
  platform_.SendEvent(EV_THREAD_EXIT);
}

SiteCheckWorker::CheckEnd SiteCheckWorker::RunCheck() {
  nextCheckCountdown_ = interval_;
  const HttpCheckOutcome outcome = platform_.CheckSite(url_);
  switch (outcome.result) {
    case HttpCheckResult::kAbandoned:
      // The run ended during the request: nothing is known, so nothing is counted or said.
      return CheckEnd::kExit;
    case HttpCheckResult::kInitFailed:
      // No counter changes and the site is tried again after a full interval; the user
      // is told, since no check can run while the HTTP layer cannot start.
      platform_.Trace(Tag() + L"InternetOpen fail!status:" + Num(EV_NET_INIT_FAILED));
      platform_.PostEvent(EV_NET_INIT_FAILED);
      return CheckEnd::kContinue;
    case HttpCheckResult::kOpenFailed:
      OnOpenFailed();
      break;
    case HttpCheckResult::kStatusRead:
    case HttpCheckResult::kQueryFailed:
      openRetries_ = 0;
      lastStatus_ = outcome.status;
      if (IsSuccess(outcome)) {
        OnSuccess();
      } else {
        OnFailure();
      }
      break;
  }
  Remind();
  return CheckEnd::kContinue;
}

void SiteCheckWorker::OnOpenFailed() {
  lastStatus_ = CODE_CONNECT_FAILED;
  platform_.Trace(Tag() + L"InternetOpenUrl fail!status:" + Num(openRetries_ + 1));
  if (CountFailedAttempt(openRetries_)) platform_.PostEvent(EV_SITE_UNREACHABLE);
}

void SiteCheckWorker::OnFailure() {
  // The trace shows the retry counter as it was before this attempt.
  platform_.Trace(Tag() + L"Access Failure!  HTTP_STATUS_CODE:" + Num(lastStatus_) + L"  status:" +
                  Num(lastStatus_) + L" ,Error:" + Num(httpRetries_));
  if (CountFailedAttempt(httpRetries_)) platform_.PostEvent(lastStatus_);
}

bool SiteCheckWorker::CountFailedAttempt(int& retries) {
  ++failStreak_;
  ++retries;
  nextCheckCountdown_ = retryInterval_;
  if (retries != retryCount_ + 1) return false;
  // The first attempt and R retries have failed: report it and start a new cycle after
  // a full interval.
  retries = 0;
  nextCheckCountdown_ = interval_;
  return true;
}

void SiteCheckWorker::OnSuccess() {
  // Only a failure streak longer than R + 2 arms the recovery reminder; the success that
  // ends it is the first one counted.
  if (failStreak_ > retryCount_ + 2) {
    recovering_ = true;
    ++successStreak_;
  } else if (recovering_) {
    ++successStreak_;
  }
  platform_.Trace(Tag() + L"Access Successful!  HTTP_STATUS_CODE:" + Num(lastStatus_) + L"  status:" +
                  Num(lastStatus_) + L" ,Error:" + Num(httpRetries_));
  httpRetries_ = 0;
  failStreak_ = 0;
  platform_.PostEvent(lastStatus_);
}

void SiteCheckWorker::Remind() {
  if (recovering_) {
    // A failure in between starts the count of good checks again.
    if (failStreak_ >= 1 && failStreak_ <= retryCount_ + 1) successStreak_ = 0;
    if (successStreak_ == retryCount_ + 2) {
      if (platform_.EmailReminderOn()) RequestReminder(kReminderRecovered);
      recovering_ = false;
      successStreak_ = 0;
    }
  } else if (failStreak_ == retryCount_ + 2 && platform_.EmailReminderOn()) {
    RequestReminder(kReminderFailing);
  }
}

void SiteCheckWorker::RequestReminder(int templateId) {
  const bool sent = platform_.SendReminder(url_, lastStatus_, templateId);
  const wchar_t* what = templateId == kReminderRecovered ? (sent ? L"发送恢复邮件成功!URL:" : L"发送恢复邮件失败!URL:")
                                                         : (sent ? L"发送邮件成功!URL:" : L"发送邮件失败!URL:");
  platform_.Trace(Tag() + what + url_ + L"  HTTP_STATUS_CODE:" + Num(lastStatus_) + L" ");
  platform_.PostEvent(sent ? EV_MAIL_SENT : EV_MAIL_FAILED);
}

std::wstring SiteCheckWorker::Tag() const { return L"[" + Num(index_) + L"]"; }
