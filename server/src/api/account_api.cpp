#include "api/account_api.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sodium.h>

#include <algorithm>
#include <cctype>
#include <climits>

#include "api/form_reader.h"
#include "api/gbk_text.h"
#include "api/password_hash.h"
#include "mail/reminder_mail.h"
#include "mail/text_mail.h"
#include "api/version_compare.h"
#include "config/ip_address.h"
#include "text/base64_text.h"

namespace {

constexpr int64_t kDaySeconds = 86400;
constexpr int64_t kAccountWindowSeconds = 15 * 60;
constexpr int64_t kAddressWindowSeconds = 60;
constexpr const char* kAccountWideThrottle = "account";
constexpr size_t kMaxNameLength = 82;      // what the program's record holds
constexpr size_t kMaxMachineIdLength = 64;  // the program sends at most 20
constexpr size_t kMaxVersionLength = 32;
constexpr size_t kShortestNotice = 6;  // the program ignores notices of 5 characters or fewer

// The program reads times as signed 32-bit seconds.
int32_t ClampToInt32(int64_t seconds) { return static_cast<int32_t>(std::clamp<int64_t>(seconds, 0, INT32_MAX)); }

class ReplyWriter {
 public:
  ReplyWriter() : writer_(buffer_) { writer_.StartObject(); }
  ReplyWriter& Int(const char* key, int64_t value) {
    writer_.Key(key);
    writer_.Int64(value);
    return *this;
  }
  ReplyWriter& Text(const char* key, const std::string& value) {
    writer_.Key(key);
    writer_.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
    return *this;
  }
  ApiReply Finish(int status, std::string info, std::string username) {
    Int("status", status).Text("info", info);
    writer_.EndObject();
    return ApiReply{buffer_.GetString(), status, std::move(info), std::move(username)};
  }

 private:
  rapidjson::StringBuffer buffer_;
  rapidjson::Writer<rapidjson::StringBuffer> writer_;
};

bool IsActive(const Account& account, int64_t now) { return account.enabled && now < account.serviceEnd; }

// The fields every request carries, checked alike.
bool CommonFieldsValid(const std::string& username, const std::string& machineId, const std::string& softType,
                       const std::string& version) {
  return Utf8Length(username) <= kMaxNameLength && !machineId.empty() && machineId.size() <= kMaxMachineIdLength &&
         ReadInt32(softType) && version.size() <= kMaxVersionLength;
}

// Throttling keys ignore case, as the account lookup does.
std::string AccountKey(const std::string& email) {
  std::string key = email;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

}  // namespace

ApiReply Refusal(const char* info, std::string username) { return ReplyWriter().Finish(0, info, std::move(username)); }

AccountApi::AccountApi(Database& db, AccountStore& accounts, MailStore& mails, const ServiceConfig& config,
                       Clock clock, MailQueued mailQueued, ServiceMetrics* metrics, ChannelStore* channels)
    : db_(db),
      accounts_(accounts),
      mails_(mails),
      config_(config),
      clock_(std::move(clock)),
      mailQueued_(std::move(mailQueued)),
      metrics_(metrics),
      channels_(channels),
      addressAttempts_(db, "address", static_cast<size_t>(config.loginAttemptsPerAddress), kAddressWindowSeconds),
      pairFailures_(db, "pair", static_cast<size_t>(config.loginFailuresPerAccount), kAccountWindowSeconds),
      accountFailures_(db, kAccountWideThrottle, static_cast<size_t>(config.loginFailuresAccountWide),
                       kAccountWindowSeconds),
      info_(accounts, config.infoCacheSeconds),
      signedIn_(config.signedInCacheSeconds) {}

int64_t AccountApi::MachineIdleSeconds() const { return int64_t{config_.machineIdleDays} * kDaySeconds; }

void AccountApi::ForgetQuietAttempts(int64_t now) {
  int64_t due = nextForget_.load();
  if (now < due || !nextForget_.compare_exchange_strong(due, now + 60)) return;  // one sign-in a minute does it
  AttemptThrottle::ForgetQuiet(db_, now - std::max(kAccountWindowSeconds, kAddressWindowSeconds));
}

void AccountApi::ClearAccountWideFailures(Database& db, const std::string& email) {
  AttemptThrottle(db, kAccountWideThrottle, 0, kAccountWindowSeconds).Clear(AccountKey(email));
}

AccountApi::PasswordCheck AccountApi::CheckPassword(const std::string& username, std::string_view encodedPassword,
                                                    const std::string& machineId, const std::string& clientAddress,
                                                    int64_t now) {
  ForgetQuietAttempts(now);
  const auto throttled = [&] {
    if (metrics_) metrics_->CountSignInThrottled();
    return PasswordCheck{PasswordCheck::kThrottled, std::nullopt};
  };
  // Every limit counts before the costly hash, so a flood is turned away cheaply. Each
  // attempt counts as a failure from the start (checked and counted in one step, so
  // attempts at the same time cannot pass a limit together) and is taken back when it
  // turns out not to be one.
  const std::string addressKey = AddressForLimits(clientAddress);
  if (!addressAttempts_.TryCount(addressKey, now)) return throttled();
  const std::string accountKey = AccountKey(username);
  const std::string pairKey = accountKey + '\n' + addressKey;
  if (!pairFailures_.TryCount(pairKey, now)) return throttled();
  const auto account = accounts_.Find(username);
  // A machine that has signed in before keeps its place though it was signed out since: a
  // new password after an attack must not lock the owner out. A web sign-in names no machine.
  const auto lastSeen =
      account && !machineId.empty() ? accounts_.KnownMachineLastSeen(account->id, machineId) : std::nullopt;
  const bool knownMachine = lastSeen && *lastSeen > now - MachineIdleSeconds();
  const bool accountCounted = accountFailures_.TryCount(accountKey, now);
  if (!accountCounted && !knownMachine) {
    pairFailures_.Refund(pairKey);
    return throttled();
  }
  const auto takeBack = [&] {
    pairFailures_.Refund(pairKey);
    if (accountCounted) accountFailures_.Refund(accountKey);
  };

  // The costly hash: the HTTP side runs sign-ins on low-priority threads of their own.
  bool verified = false;
  try {
    verified = VerifyEncodedPassword(encodedPassword, account ? account->passwordHash : std::string());
  } catch (...) {
    takeBack();
    throw;
  }
  if (!verified) return PasswordCheck{PasswordCheck::kWrong, std::nullopt};
  takeBack();
  pairFailures_.Clear(pairKey);
  return PasswordCheck{PasswordCheck::kRight, account};
}

AccountApi::PasswordCheck AccountApi::CheckWebPassword(const std::string& email, std::string_view password,
                                                       const std::string& clientAddress) {
  std::string encoded = Base64(password);
  PasswordCheck check = CheckPassword(email, encoded, "", clientAddress, clock_());
  sodium_memzero(encoded.data(), encoded.size());
  return check;
}

ApiReply AccountApi::Login(std::string_view body, const std::string& clientAddress) {
  const auto form = ReadForm(body, kLoginFields);
  if (!form) return Refusal(reply_info::kMalformed);
  const std::string& username = (*form)[0];
  const std::string& machineId = (*form)[2];
  if (username.empty() || !CommonFieldsValid(username, machineId, (*form)[3], (*form)[4])) {
    return Refusal(reply_info::kMalformed, username);
  }
  const int64_t now = clock_();
  const PasswordCheck check = CheckPassword(username, (*form)[1], machineId, clientAddress, now);
  if (check.outcome == PasswordCheck::kThrottled) return Refusal(reply_info::kTooManyAttempts, username);
  if (check.outcome == PasswordCheck::kWrong) return Refusal(reply_info::kWrongPassword, username);
  const auto& account = check.account;
  // Only the right password learns whether the account is usable.
  if (!account->enabled) return Refusal(reply_info::kDisabled, username);
  if (now >= account->serviceEnd) return Refusal(reply_info::kServiceEnded, username);
  if (!accounts_.RecordMachine(account->id, account->passwordHash, machineId, now, now - MachineIdleSeconds())) {
    return Refusal(reply_info::kWrongPassword, username);  // a new password or disabled meanwhile
  }
  accounts_.NoteMachineVersion(account->id, machineId, (*form)[4]);
  return ReplyWriter()
      .Int("time", ClampToInt32(account->serviceStart))
      .Int("expire", ClampToInt32(account->serviceEnd))
      .Finish(1, reply_info::kSignedIn, username);
}

std::optional<Account> AccountApi::SignedInAccount(const std::string& email, const std::string& machineId,
                                                   int64_t now) {
  if (email.empty()) return std::nullopt;
  // One lookup, the same whether or not the address has an account.
  MachineRecord found = accounts_.LookUpMachine(email, machineId);
  auto& account = found.account;
  if (!account || !IsActive(*account, now)) return std::nullopt;
  if (!found.lastSeen || *found.lastSeen <= now - MachineIdleSeconds()) return std::nullopt;
  // A machine in use stays signed in; its sighting is written at most about once a day,
  // so the frequent service-information requests stay reads.
  if (*found.lastSeen <= now - std::min(kDaySeconds, MachineIdleSeconds() / 4)) {
    try {
      accounts_.TouchMachine(account->id, machineId, now);
    } catch (const std::exception&) {
      // The file stayed locked: the sighting is written on a later request, and this one
      // is answered all the same.
    }
  }
  return std::move(account);
}

std::optional<Account> AccountApi::SignedInAccountForInfo(const std::string& email, const std::string& machineId,
                                                          int64_t now) {
  const std::string key = AccountKey(email) + '\n' + machineId;
  if (auto account = signedIn_.Find(key, now); account && IsActive(*account, now)) return account;
  auto account = SignedInAccount(email, machineId, now);
  if (account) signedIn_.Keep(key, *account, now);
  return account;
}

ApiReply AccountApi::GetInfo(std::string_view body) {
  const auto form = ReadForm(body, kInfoFields);
  if (!form) return Refusal(reply_info::kMalformed);
  const std::string& username = (*form)[0];
  if (!CommonFieldsValid(username, (*form)[1], (*form)[2], (*form)[3])) return Refusal(reply_info::kMalformed, username);

  ReplyWriter reply;
  // A name alone proves nothing: the account counts as signed in only on a machine that
  // signed in to it with the password.
  const int64_t now = clock_();
  const auto account = SignedInAccountForInfo(username, (*form)[1], now);
  if (account) {
    reply.Int("time", ClampToInt32(account->serviceStart)).Int("expire", ClampToInt32(account->serviceEnd));
  }
  const auto info = info_.Get(now);
  reply.Int("update", IsOlderVersion((*form)[3], info->latestVersion) ? 1 : 0);
  if (const auto& notice = info->notice; notice && Utf8Length(notice->text) >= kShortestNotice) {
    reply.Int("notice_id", std::min<int64_t>(notice->id, INT32_MAX)).Text("notice_text", notice->text);
  }
  return account ? reply.Finish(1, "", username) : reply.Finish(0, reply_info::kNotSignedIn, username);
}

ApiReply AccountApi::SendMsg(std::string_view body) {
  const auto form = ReadForm(body, kReminderFields);
  if (!form) return Refusal(reply_info::kMalformed);
  const std::string& username = (*form)[0];
  const auto templateId = ReadInt32((*form)[4]);
  const auto code = ReadInt32((*form)[5]);
  const std::string& site = (*form)[6];
  if (!CommonFieldsValid(username, (*form)[1], (*form)[2], (*form)[3]) || !templateId || !code ||
      (*templateId != 1 && *templateId != 2) || site.empty()) {
    return Refusal(reply_info::kMalformed, username);
  }
  const int64_t now = clock_();
  const auto account = SignedInAccount(username, (*form)[1], now);
  if (!account) return Refusal(reply_info::kNotSignedIn, username);

  const std::string message = ComposeReminderMail(ReminderFacts{
      account->email, config_.smtp.sender, *templateId, *code, site, now, NewMessageId(config_.smtp.sender)});
  // Committed before the answer: a reminder the program was told about is never lost.
  bool mailQueued = true;
  if (channels_) {
    const auto accepted = channels_->AcceptReminder(account->id, account->email, message,
                                                    ReminderEvent{*templateId, *code, site, now}, now,
                                                    config_.mailHourlyLimit);
    if (!accepted) return Refusal(reply_info::kTooManyMails, username);
    mailQueued = accepted->mailQueued;
  } else if (!mails_.Enqueue(account->id, account->email, message, now, config_.mailHourlyLimit,
                                 ReminderSubject{site, *templateId, *code})) {
    return Refusal(reply_info::kTooManyMails, username);
  }
  if (metrics_ && mailQueued) metrics_->CountMailQueued();
  if (mailQueued_) mailQueued_();
  return ReplyWriter().Finish(1, reply_info::kMailQueued, username);
}
