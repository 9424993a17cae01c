// Sign-in, sign-out and the account page with what it changes.
#include <charconv>

#include "api/account_address.h"
#include "api/password_hash.h"
#include "text/status_text.h"
#include "mail/text_mail.h"
#include "web/page_security.h"
#include "web/site_pages.h"

namespace {

constexpr int kRemindersPerPage = 20;
constexpr int kLastPage = 10000;

bool AlwaysHashes(const WebRequest&) { return true; }

std::string TimeText(int64_t time) { return time > 0 ? FormatUnixTime(time, "%Y-%m-%d %H:%M", true) : "-"; }

// The page number of "?page=N"; 1 when missing or not a number in range.
int PageNumber(const std::string& query) {
  const auto form = WebForm::Read(query);
  if (!form) return 1;
  const std::string& text = (*form)["page"];
  int page = 1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), page);
  if (error != std::errc() || end != text.data() + text.size() || page < 1 || page > kLastPage) return 1;
  return page;
}

// The count a redirect after a change carries ("?signedout=2"), for the notice.
std::optional<int> CountIn(const std::string& query, const char* name) {
  const auto form = WebForm::Read(query);
  if (!form || (*form)[name].empty()) return std::nullopt;
  const std::string& text = (*form)[name];
  int count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (error != std::errc() || end != text.data() + text.size() || count < 0 || count > 100000) return std::nullopt;
  return count;
}

std::string DeliveryText(const ReminderEntry& entry) {
  if (entry.state == "sent") return "已发送 " + TimeText(entry.sentAt);
  if (entry.state == "failed") return "发送失败";
  return "等待发送";
}

// What a change of the channels was, for the notice on the page it leads back to.
const char* ChannelNotice(const std::string& query) {
  static constexpr std::pair<const char*, const char*> kNotices[] = {
      {"added", "提醒渠道已添加。可以按“发送测试”试一下。"}, {"changed", "提醒渠道已修改。"},
      {"enabled", "提醒渠道已启用。"},       {"disabled", "提醒渠道已停用。"},
      {"resumed", "提醒渠道已恢复，暂停期间保留的提醒将合并发送。"},
      {"deleted", "提醒渠道已删除。"},       {"mail-on", "提醒邮件已开启。"},
      {"mail-off", "提醒邮件已关闭。"},
  };
  const auto form = WebForm::Read(query);
  if (!form) return nullptr;
  for (const auto& [done, notice] : kNotices) {
    if ((*form)["channel"] == done) return notice;
  }
  return nullptr;
}

}  // namespace

std::optional<WebReply> SitePages::ReadPasswordPost(const WebRequest& request, const char* title,
                                                    PasswordPost& post) {
  post.visitor = kit_.Visit(request, false);
  if (!ServesPasswords(request)) return kit_.HttpsOnly(post.visitor, request);
  auto form = kit_.PostedForm(request, post.visitor);
  if (!form) return kit_.StaleForm(post.visitor, request);
  post.form = std::move(*form);
  post.again = kit_.Frame(title, post.visitor);
  post.again.set("email", post.form["email"]);
  return std::nullopt;
}

void SitePages::AddSignIn(std::vector<Route>& routes) {
  const auto busy = [this](const WebRequest& request) { return BusyPage(request); };
  routes.push_back(Route{"GET", "/signin",
                         [this](const WebRequest& request) {
                           Visitor visitor = kit_.Visit(request, true);
                           if (!ServesPasswords(request)) return kit_.HttpsOnly(visitor, request);
                           if (visitor.account) return kit_.Redirect("/account", visitor, request);
                           return kit_.Page(PageTemplate::kSignIn, kit_.Frame("登录", visitor), visitor, request);
                         },
                         nullptr, nullptr});
  routes.push_back(Route{"POST", "/signin",
                         [this](const WebRequest& request) {
                           PasswordPost post;
                           if (auto refused = ReadPasswordPost(request, "登录", post)) return std::move(*refused);
                           Visitor& visitor = post.visitor;
                           PageData& again = post.again;
                           const std::string& email = post.form["email"];
                           const std::string& password = post.form["password"];
                           if (!IsPlainAddress(email) || password.empty() || password.size() > 512) {
                             again.set("error", reply_info::kWrongPassword);
                             return kit_.Page(PageTemplate::kSignIn, again, visitor, request);
                           }
                           ForgetStale();
                           const auto check = services_.api.CheckWebPassword(email, password, request.client);
                           if (check.outcome != AccountApi::PasswordCheck::kRight) {
                             const bool throttled = check.outcome == AccountApi::PasswordCheck::kThrottled;
                             again.set("error", throttled ? reply_info::kTooManyAttempts : reply_info::kWrongPassword);
                             return kit_.Page(PageTemplate::kSignIn, again, visitor, request, throttled ? 429 : 200);
                           }
                           if (!check.account->enabled) {
                             again.set("error", reply_info::kDisabled);
                             return kit_.Page(PageTemplate::kSignIn, again, visitor, request);
                           }
                           visitor.account = check.account;
                           WebReply reply = kit_.Redirect("/account", visitor, request);
                           kit_.SignIn(reply, visitor, *check.account);
                           return reply;
                         },
                         AlwaysHashes, busy});
  routes.push_back(Route{"POST", "/signout",
                         [this](const WebRequest& request) {
                           Visitor visitor = kit_.Visit(request, true);
                           if (!kit_.PostedForm(request, visitor)) return kit_.StaleForm(visitor, request);
                           visitor.account.reset();
                           WebReply reply = kit_.Message("已退出登录", "", "您已退出登录。", visitor, request, 200,
                                                         "/signin", "重新登录");
                           kit_.SignOut(reply, visitor);
                           return reply;
                         },
                         nullptr, nullptr});
}

void SitePages::AddAccount(std::vector<Route>& routes) {
  routes.push_back(Route{"GET", "/account",
                         [this](const WebRequest& request) {
                           Visitor visitor = kit_.Visit(request, true);
                           if (!ServesPasswords(request)) return kit_.HttpsOnly(visitor, request);
                           if (!visitor.account) return kit_.Redirect("/signin", visitor, request);
                           const Account& account = *visitor.account;
                           PageData data = kit_.Frame("我的账户", visitor);
                           if (const auto count = CountIn(request.query, "signedout")) {
                             data.set("notice", "已退出 " + std::to_string(*count) + " 台电脑。");
                           } else if (const auto ended = CountIn(request.query, "password")) {
                             data.set("notice", "密码已修改。已退出 " + std::to_string(*ended) +
                                                    " 台电脑，其他浏览器的登录也已结束。");
                           } else if (const char* notice = ChannelNotice(request.query)) {
                             data.set("notice", notice);
                           }
                           data.set("email", account.email);
                           data.set("serviceEnd", TimeText(account.serviceEnd));
                           data.set("ended", kit_.Now() >= account.serviceEnd);

                           PageData machines{PageData::type::list};
                           const auto found = services_.accounts.Machines(account.email);
                           for (const Machine& m : found.value_or(std::vector<Machine>{})) {
                             PageData row;
                             row.set("id", m.id);
                             row.set("firstSeen", TimeText(m.firstSeen));
                             row.set("lastSeen", TimeText(m.lastSeen));
                             row.set("version", m.version.empty() ? "-" : m.version);
                             machines.push_back(row);
                           }
                           data.set("hasMachines", found && !found->empty());
                           data.set("machines", machines);

                           const int page = PageNumber(request.query);
                           // One more than a page: whether an older page exists.
                           auto entries = services_.mails.Reminders(account.id, (page - 1) * kRemindersPerPage,
                                                                    kRemindersPerPage + 1);
                           const bool older = entries.size() > static_cast<size_t>(kRemindersPerPage);
                           if (older) entries.pop_back();
                           PageData reminders{PageData::type::list};
                           for (const ReminderEntry& e : entries) {
                             PageData row;
                             row.set("site", e.subject.site);
                             row.set("event", e.subject.event == 1 ? "访问异常" : "恢复正常");
                             row.set("code", std::to_string(e.subject.statusCode) + " " +
                                                 std::string(StatusText(e.subject.statusCode)));
                             row.set("accepted", TimeText(e.accepted));
                             row.set("delivery", DeliveryText(e));
                             row.set("attempts", std::to_string(e.attempts));
                             reminders.push_back(row);
                           }
                           data.set("hasReminders", !entries.empty());
                           data.set("reminders", reminders);
                           data.set("paged", page > 1);
                           data.set("keepDays", std::to_string(services_.config.mailKeepDays));
                           data.set("hasNewer", page > 1);
                           data.set("newerPage", std::to_string(page - 1));
                           data.set("hasOlder", older);
                           data.set("olderPage", std::to_string(page + 1));
                           ShowChannels(account, data);
                           return kit_.Page(PageTemplate::kAccount, data, visitor, request);
                         },
                         nullptr, nullptr});

  const auto signOutMachines = [this](bool all) {
    return [this, all](const WebRequest& request) {
      Visitor visitor = kit_.Visit(request, true);
      const auto form = kit_.PostedForm(request, visitor);
      if (!form) return kit_.StaleForm(visitor, request);
      if (!visitor.account) return kit_.Redirect("/signin", visitor, request);
      const std::string& email = visitor.account->email;
      const auto count = all ? services_.accounts.ForgetAllMachines(email)
                             : services_.accounts.ForgetMachine(email, (*form)["machine"]);
      services_.api.ForgetSignedInMachines(visitor.account->id);
      return kit_.Redirect("/account?signedout=" + std::to_string(count.value_or(0)), visitor, request);
    };
  };
  routes.push_back(Route{"POST", "/account/machines/signout", signOutMachines(false), nullptr, nullptr});
  routes.push_back(Route{"POST", "/account/machines/signout-all", signOutMachines(true), nullptr, nullptr});

  routes.push_back(Route{
      "POST", "/account/password",
      [this](const WebRequest& request) {
        Visitor visitor = kit_.Visit(request, true);
        if (!ServesPasswords(request)) return kit_.HttpsOnly(visitor, request);
        const auto form = kit_.PostedForm(request, visitor);
        if (!form) return kit_.StaleForm(visitor, request);
        if (!visitor.account) return kit_.Redirect("/signin", visitor, request);
        const std::string& password = (*form)["password"];
        if (!IsNewPassword(password)) {
          return kit_.Message("修改密码", "新密码需要 8 到 128 个字符。", "", visitor, request, 200, "/account",
                              "返回我的账户");
        }
        const auto check = services_.api.CheckWebPassword(visitor.account->email, (*form)["current"], request.client);
        if (check.outcome != AccountApi::PasswordCheck::kRight) {
          const bool throttled = check.outcome == AccountApi::PasswordCheck::kThrottled;
          return kit_.Message("修改密码", throttled ? reply_info::kTooManyAttempts : "当前密码不正确。", "", visitor,
                              request, throttled ? 429 : 200, "/account", "返回我的账户");
        }
        const auto hash = HashPassword(password);
        if (!hash) throw std::runtime_error("cannot hash a password");
        const auto machines = services_.accounts.SetPassword(visitor.account->email, *hash);
        // As the operator's passwd: the guesses counted against the account end with the old password.
        AccountApi::ClearAccountWideFailures(services_.db, visitor.account->email);
        services_.api.ForgetSignedInMachines(visitor.account->id);
        // Every session ends with the old password; this browser gets a new one.
        services_.sessions.EndAll(visitor.account->id);
        visitor.sessionHash.clear();
        WebReply reply =
            kit_.Redirect("/account?password=" + std::to_string(machines.value_or(0)), visitor, request);
        kit_.SignIn(reply, visitor, *visitor.account);
        return reply;
      },
      AlwaysHashes, [this](const WebRequest& request) { return BusyPage(request); }});
}
