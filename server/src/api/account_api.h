// What the service answers to the program's three requests: sign-in, service information
// and reminder mail. Takes the raw form bodies and returns the JSON replies; the HTTP
// layer around it only routes and logs.
#pragma once

#include <cstdint>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "api/attempt_throttle.h"
#include "api/service_info_cache.h"
#include "api/signed_in_cache.h"
#include "store/account_store.h"
#include "store/channel_store.h"
#include "store/mail_store.h"
#include "config/service_config.h"
#include "metrics/service_metrics.h"

struct ApiReply {
  std::string json;      // the reply body, UTF-8
  int status = 0;        // its "status"
  std::string info;      // its "info"
  std::string username;  // for the log line (never the password)
};

class AccountApi {
 public:
  using Clock = std::function<int64_t()>;
  using MailQueued = std::function<void()>;

  // `db` holds the sign-in counts that every instance of the service shares. `metrics`,
  // when given, counts throttled sign-ins and queued mails.
  // With `channels`, a reminder also becomes a delivery for each of the account's chat and
  // webhook channels, and mail is sent only when the account has not turned it off;
  // `mailQueued` is then told of either.
  AccountApi(Database& db, AccountStore& accounts, MailStore& mails, const ServiceConfig& config, Clock clock,
             MailQueued mailQueued, ServiceMetrics* metrics = nullptr, ChannelStore* channels = nullptr);

  ApiReply Login(std::string_view body, const std::string& clientAddress);

  // A password checked against an account under the program's sign-in limits, counted in
  // the same counts (the web pages sign in this way, with no machine).
  struct PasswordCheck {
    enum Outcome { kThrottled, kWrong, kRight } outcome;
    std::optional<Account> account;  // when right
  };
  PasswordCheck CheckWebPassword(const std::string& email, std::string_view password,
                                 const std::string& clientAddress);
  ApiReply GetInfo(std::string_view body);
  ApiReply SendMsg(std::string_view body);

  // Forgets the failed sign-ins counted toward the account-wide ceiling of the account with
  // address `email` (after the operator has given it a new password, the guesses made at the
  // old one no longer matter).
  static void ClearAccountWideFailures(Database& db, const std::string& email);
  // Service information on this instance stops answering the account's machines from
  // memory: the owner has just signed machines out here, and sees it take effect at once.
  void ForgetSignedInMachines(int64_t accountId) { signedIn_.ForgetAccount(accountId); }

 private:
  // `machineId` empty: no machine, so no exemption from the account-wide ceiling.
  PasswordCheck CheckPassword(const std::string& username, std::string_view encodedPassword,
                              const std::string& machineId, const std::string& clientAddress, int64_t now);
  // An active account on which this machine has signed in.
  std::optional<Account> SignedInAccount(const std::string& email, const std::string& machineId, int64_t now);
  // The same for service information, which may be answered from `signedIn_`.
  std::optional<Account> SignedInAccountForInfo(const std::string& email, const std::string& machineId, int64_t now);
  // When a machine that has not been seen for this long counts as signed out.
  int64_t MachineIdleSeconds() const;
  // Now and then deletes the sign-in counts that have left every window.
  void ForgetQuietAttempts(int64_t now);

  Database& db_;
  AccountStore& accounts_;
  MailStore& mails_;
  const ServiceConfig& config_;
  const Clock clock_;
  const MailQueued mailQueued_;
  ServiceMetrics* const metrics_;
  ChannelStore* const channels_;
  // Sign-in limits. Every attempt counts for its client address; failures count for the
  // account and the address together, so guesses from one place never refuse the owner
  // elsewhere; the account-wide ceiling slows guessers spread over many addresses but
  // never refuses a machine that has signed in to the account before, even one signed out
  // since (whose failures still count, for its address and toward the ceiling).
  AttemptThrottle addressAttempts_;
  AttemptThrottle pairFailures_;
  AttemptThrottle accountFailures_;
  std::atomic<int64_t> nextForget_{0};
  ServiceInfoCache info_;
  SignedInCache signedIn_;
};

// The short texts of refusals (the program shows the sign-in ones to the user).
namespace reply_info {
inline constexpr const char* kMalformed = "请求格式错误";
inline constexpr const char* kTooLarge = "请求过大";
inline constexpr const char* kUnknownRequest = "未知请求";
inline constexpr const char* kWrongPassword = "用户名或密码错误";
inline constexpr const char* kDisabled = "账户已停用";
inline constexpr const char* kServiceEnded = "服务已到期";
inline constexpr const char* kTooManyAttempts = "尝试次数过多，请稍后再试";
inline constexpr const char* kNotSignedIn = "未登录或服务已到期";
inline constexpr const char* kTooManyMails = "提醒邮件过多，请稍后再试";
inline constexpr const char* kSignedIn = "登录成功";
inline constexpr const char* kMailQueued = "提醒邮件已接收";
inline constexpr const char* kServerError = "服务器内部错误";
inline constexpr const char* kBusy = "服务器繁忙，请稍后再试";
}  // namespace reply_info

// A reply holding only "status" and "info".
ApiReply Refusal(const char* info, std::string username = "");
